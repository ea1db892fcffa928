#include "storage/binary_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace velkora {
namespace {

using testing::readFile;
using testing::runUnprivileged;
using testing::TempDir;
using testing::writeFile;
namespace fs = std::filesystem;

std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct stat statOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st;
}

TEST(AtomicSave, SymbolicLinksStayLinksAndTheFileTheyNameIsReplaced) {
  TempDir dir;
  fs::create_directory(dir.path() / "data");
  const std::string real = dir.file("data/real.vkr");
  writeFile(real, "old");
  fs::create_symlink("data/real.vkr", dir.path() / "link.vkr");  // relative to the link's folder
  fs::create_symlink(dir.file("link.vkr"), dir.path() / "chain.vkr");

  ASSERT_TRUE(writeFileAtomically(dir.file("chain.vkr"), "new content"));
  EXPECT_TRUE(fs::is_symlink(dir.file("chain.vkr")));
  EXPECT_TRUE(fs::is_symlink(dir.file("link.vkr")));
  EXPECT_EQ(fs::read_symlink(dir.file("link.vkr")), "data/real.vkr");
  EXPECT_EQ(readFile(real), "new content");
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"chain.vkr", "data", "link.vkr"}));
  EXPECT_EQ(entries(dir.path() / "data"), std::vector<std::string>{"real.vkr"}) << "the temporary file went";

  // A dangling link creates the file it names.
  fs::create_symlink("data/fresh.vkr", dir.path() / "dangling.vkr");
  ASSERT_TRUE(writeFileAtomically(dir.file("dangling.vkr"), "fresh"));
  EXPECT_TRUE(fs::is_symlink(dir.file("dangling.vkr")));
  EXPECT_EQ(readFile(dir.file("data/fresh.vkr")), "fresh");

  // A loop of links is refused with the system's reason.
  fs::create_symlink("loop-b", dir.path() / "loop-a");
  fs::create_symlink("loop-a", dir.path() / "loop-b");
  std::error_code error;
  EXPECT_FALSE(writeFileAtomically(dir.file("loop-a"), "x", &error));
  EXPECT_EQ(error, std::errc::too_many_symbolic_link_levels);
}

TEST(AtomicSave, ExistingFilesKeepModeAndOwnerNewFilesFollowTheUmask) {
  TempDir dir;
  for (const mode_t mode : {0600, 0640, 0664, 0755}) {
    SCOPED_TRACE(mode);
    const std::string path = dir.file("m.vkr");
    writeFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_TRUE(writeFileAtomically(path, "new"));
    EXPECT_EQ(statOf(path).st_mode & 07777, mode);
    EXPECT_EQ(readFile(path), "new");
  }

  const mode_t previous = ::umask(027);
  const bool saved = writeFileAtomically(dir.file("new.vkr"), "x");
  ::umask(previous);
  ASSERT_TRUE(saved);
  EXPECT_EQ(statOf(dir.file("new.vkr")).st_mode & 07777, 0640u);

  if (::geteuid() == 0) {
    // Root may give the replaced file back to its owner.
    const std::string path = dir.file("theirs.vkr");
    writeFile(path, "old");
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    ASSERT_TRUE(writeFileAtomically(path, "new"));
    EXPECT_EQ(statOf(path).st_uid, 65534u);
    EXPECT_EQ(statOf(path).st_gid, 65534u);
  }
}

TEST(AtomicSave, AnyNameTheFileSystemTakesCanBeSaved) {
  TempDir dir;
  const std::string longest(255, 'n');  // NAME_MAX: no room for a suffix on the name
  ASSERT_TRUE(writeFileAtomically(dir.file(longest), "a"));
  ASSERT_TRUE(writeFileAtomically(dir.file(longest), "b"));
  EXPECT_EQ(readFile(dir.file(longest)), "b");
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{longest});
  std::error_code error;
  EXPECT_TRUE(checkFileReplaceable(dir.file(longest), error)) << error.message();
}

TEST(AtomicSave, RefusedTargetsAreLeftAsTheyAreWithNothingBeside) {
  TempDir dir;
  fs::create_directory(dir.path() / "folder");
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::error_code reason;
  } cases[] = {
      {dir.file("folder"), std::make_error_code(std::errc::is_a_directory)},
      {dir.file("fifo"), FileError::NotRegularFile},
      {dir.file("missing/x.vkr"), std::make_error_code(std::errc::no_such_file_or_directory)},
      {dir.file(std::string(256, 'n')), std::make_error_code(std::errc::filename_too_long)},
      {dir.file("fifo/x.vkr"), std::make_error_code(std::errc::not_a_directory)},
      // /proc says "No such file or directory" for any new name in it: its folder is there all right.
      {"/proc/velkora-new.vkr", FileError::FolderTakesNoNewFiles},
      {"/proc/version", ::geteuid() == 0 ? std::error_code(FileError::FolderTakesNoNewFiles)
                                         : std::make_error_code(std::errc::permission_denied)},
      {"/proc/version/x", std::make_error_code(std::errc::not_a_directory)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.path.starts_with("/proc/") && !fs::exists("/proc/version")) continue;
    std::error_code saveError;
    std::error_code checkError;
    EXPECT_FALSE(writeFileAtomically(c.path, "x", &saveError));
    EXPECT_EQ(saveError, c.reason) << saveError.message();
    EXPECT_FALSE(checkFileReplaceable(c.path, checkError));
    EXPECT_EQ(checkError, c.reason) << checkError.message();
  }
  EXPECT_TRUE(fs::is_directory(dir.file("folder")));
  EXPECT_TRUE(fs::is_fifo(dir.file("fifo")));
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"fifo", "folder"}));
  EXPECT_TRUE(entries(dir.path() / "folder").empty());

  // A check that succeeds leaves nothing behind either.
  std::error_code error;
  EXPECT_TRUE(checkFileReplaceable(dir.file("new.vkr"), error)) << error.message();
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"fifo", "folder"}));
}

TEST(AtomicSave, FilesAndFoldersWeMayNotWriteAreRefusedBeforehand) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  fs::create_directory(dir.path() / "locked");
  fs::create_directory(dir.path() / "open");
  writeFile(dir.file("locked/old.vkr"), "old");
  writeFile(dir.file("open/readonly.vkr"), "old");
  ASSERT_EQ(::chmod(dir.file("open/readonly.vkr").c_str(), 0444), 0);
  ASSERT_EQ(::chmod(dir.file("locked").c_str(), 0555), 0);
  ASSERT_EQ(::chmod(dir.file("open").c_str(), 0777), 0);
  const std::vector<std::string> paths = {dir.file("locked/old.vkr"), dir.file("locked/new.vkr"),
                                          dir.file("open/readonly.vkr")};
  const int code = runUnprivileged([&] {
    for (const std::string& path : paths) {
      std::error_code checkError;
      std::error_code saveError;
      if (checkFileReplaceable(path, checkError) || checkError != std::errc::permission_denied) return 1;
      if (writeFileAtomically(path, "new", &saveError) || saveError != std::errc::permission_denied) return 2;
    }
    return 0;
  });
  ::chmod(dir.file("locked").c_str(), 0755);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(readFile(dir.file("locked/old.vkr")), "old");
  EXPECT_EQ(readFile(dir.file("open/readonly.vkr")), "old");
  EXPECT_EQ(entries(dir.path() / "locked"), std::vector<std::string>{"old.vkr"});
  EXPECT_EQ(entries(dir.path() / "open"), std::vector<std::string>{"readonly.vkr"});
}

TEST(ReadWholeFile, OnlyRegularFilesAreReadAndNothingBlocks) {
  TempDir dir;
  writeFile(dir.file("a.vkr"), "abc");
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::error_code reason;
  } cases[] = {
      {dir.file("fifo"), FileError::NotRegularFile},  // no writer: a blocking open would wait for ever
      {"/dev/null", FileError::NotRegularFile},
      {dir.path().string(), std::make_error_code(std::errc::is_a_directory)},
      {dir.file("missing.vkr"), std::make_error_code(std::errc::no_such_file_or_directory)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const auto start = std::chrono::steady_clock::now();
    std::string contents = "stale";
    std::error_code error;
    EXPECT_FALSE(readWholeFile(c.path, contents, 100, &error));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(error, c.reason) << error.message();
    EXPECT_EQ(contents, "");
  }
  EXPECT_EQ(make_error_code(FileError::NotRegularFile).message(), "not a regular file");
  std::string contents;
  std::error_code error;
  ASSERT_TRUE(readWholeFile(dir.file("a.vkr"), contents, 100, &error));
  EXPECT_EQ(contents, "abc");
  EXPECT_FALSE(error);
}

TEST(SameExistingFile, WhateverThePathsSpelling) {
  TempDir dir;
  writeFile(dir.file("a.vkr"), "a");
  writeFile(dir.file("b.vkr"), "a");
  fs::create_symlink("a.vkr", dir.path() / "link.vkr");
  fs::create_hard_link(dir.file("a.vkr"), dir.path() / "hard.vkr");
  EXPECT_TRUE(sameExistingFile(dir.file("a.vkr"), dir.file("link.vkr")));
  EXPECT_TRUE(sameExistingFile(dir.file("a.vkr"), dir.file("hard.vkr")));
  EXPECT_TRUE(sameExistingFile(dir.file("a.vkr"), (dir.path() / "." / "a.vkr").string()));
  EXPECT_FALSE(sameExistingFile(dir.file("a.vkr"), dir.file("b.vkr")));
  EXPECT_FALSE(sameExistingFile(dir.file("a.vkr"), dir.file("missing.vkr")));
  EXPECT_FALSE(sameExistingFile(dir.file("missing.vkr"), dir.file("missing.vkr")));
}

}  // namespace
}  // namespace velkora
