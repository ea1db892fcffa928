#include "app/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace velkora {
namespace {

using testing::TempDir;

TEST(Paths, ProgramDirectoryIsCutAfterTheLastSeparator) {
  struct Case {
    const char* executable;
    const char* directory;
  };
  const Case cases[] = {
      {"/opt/velkora/bin/velkora", "/opt/velkora/bin/"},
      {"/velkora", "/"},
      {"build/bin/velkora", "build/bin/"},
      {"velkora", "./"},
  };
  for (const Case& c : cases) EXPECT_EQ(programDirectoryOf(c.executable), c.directory) << c.executable;
  EXPECT_EQ(parentDirectoryOf("/a/b/velkora.cfg"), "/a/b");
  EXPECT_EQ(parentDirectoryOf("/velkora.cfg"), "/");
  EXPECT_EQ(parentDirectoryOf("velkora.cfg"), "");
}

TEST(Paths, AWritableProgramFolderKeepsEverythingBesideTheProgram) {
  const UserLocations user{"/home/u/.config/Velkora", "/home/u/Documents"};
  const ProgramPaths beside = resolveProgramPaths("/work/build/bin/velkora", true, user);
  EXPECT_EQ(beside.programDirectory, "/work/build/bin/");
  EXPECT_EQ(beside.configPath, "/work/build/bin/velkora.cfg");
  EXPECT_EQ(beside.dataFolder, "/work/build/bin/DATA");
  EXPECT_EQ(beside.libraryPath, "/work/build/bin/library.sqlite");
  EXPECT_EQ(beside.currentFilePath, "");

  const ProgramPaths installed = resolveProgramPaths("/usr/bin/velkora", false, user);
  EXPECT_EQ(installed.programDirectory, "/usr/bin/");
  EXPECT_EQ(installed.configPath, "/home/u/.config/Velkora/velkora.cfg");
  EXPECT_EQ(installed.dataFolder, "/home/u/Documents/Velkora/DATA");
  EXPECT_EQ(installed.libraryPath, "/home/u/Documents/Velkora/library.sqlite");

  // Without per-user places there is nowhere else to go.
  const ProgramPaths nowhere = resolveProgramPaths("/usr/bin/velkora", false, UserLocations{});
  EXPECT_EQ(nowhere.configPath, "/usr/bin/velkora.cfg");
}

TEST(Paths, WritabilityIsTriedAndFoldersAreMadeWithTheirParents) {
  TempDir dir;
  EXPECT_TRUE(directoryIsWritable(dir.path().string()));
  EXPECT_TRUE(directoryIsWritable(dir.path().string() + "/"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "the probe file is removed";
  EXPECT_FALSE(directoryIsWritable(dir.file("missing")));
  // Not even the superuser creates files in /proc.
  EXPECT_FALSE(directoryIsWritable("/proc/self"));

  // An installed program (a "bin" beside share/doc/velkora) keeps its files in the user's places even
  // where it may write its folder, as the superuser may write /usr/bin.
  std::filesystem::create_directories(dir.file("usr/bin"));
  EXPECT_TRUE(keepsFilesBesideProgram(dir.file("usr/bin/")));
  std::filesystem::create_directories(dir.file("usr/share/doc/velkora"));
  EXPECT_TRUE(isInstalledProgram(dir.file("usr/bin/")));
  EXPECT_FALSE(keepsFilesBesideProgram(dir.file("usr/bin/")));

  // Its user guide is the installed copy; a build folder finds the one of its source tree.
  EXPECT_EQ(findUserGuide(dir.file("usr/bin/")), "");
  testing::writeFile(dir.file("usr/share/doc/velkora/README.md"), "guide");
  EXPECT_EQ(findUserGuide(dir.file("usr/bin/")), dir.file("usr/share/doc/velkora/README.md"));
  std::filesystem::create_directories(dir.file("src/build/bin"));
  testing::writeFile(dir.file("src/README.md"), "guide");
  EXPECT_EQ(findUserGuide(dir.file("src/build/bin")), dir.file("src/README.md"));

  EXPECT_TRUE(ensureDirectory(dir.file("a/b/DATA")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b/DATA")));
  EXPECT_TRUE(ensureDirectory(dir.file("a/b/DATA")));
  testing::writeFile(dir.file("file"), "x");
  EXPECT_FALSE(ensureDirectory(dir.file("file/DATA")));
}

}  // namespace
}  // namespace velkora
