#include "storage/binary_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace velkora {
namespace {

class FileErrorCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "velkora.file"; }
  std::string message(int value) const override {
    switch (static_cast<FileError>(value)) {
      case FileError::NotRegularFile:
        return "not a regular file";
      case FileError::FolderTakesNoNewFiles:
        return "its folder takes no new files";
    }
    return "unknown file error";
  }
};

std::error_code systemError(int number) { return std::error_code(number, std::generic_category()); }

bool fail(std::error_code* out, std::error_code reason) {
  if (out != nullptr) *out = reason;
  return false;
}

// Symbolic links are followed this many times at most, as the kernel does.
constexpr int kMaxLinkHops = 40;

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path finally names once every symbolic link in its last component is followed; the
// result may not exist yet (a dangling link names the file it would create).
bool resolveLinks(const std::string& path, std::string& target, std::error_code& error) {
  target = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0) {
      error = systemError(errno);
      return false;
    }
    link.resize(static_cast<size_t>(n));
    target = link.starts_with('/') ? link : folderOf(target) + "/" + link;
  }
  error = systemError(ELOOP);
  return false;
}

// The reason a new file could not be made in `folder` when the system said `number`. "No such file or
// directory" is the folder's own state when it is missing or no folder; for an existing folder it
// only means that its file system makes no files there.
std::error_code creationError(const std::string& folder, int number) {
  if (number != ENOENT) return systemError(number);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return systemError(errno);
  if (!S_ISDIR(st.st_mode)) return systemError(ENOTDIR);
  return FileError::FolderTakesNoNewFiles;
}

// A short hidden name that no other save uses at the same moment.
std::string temporaryName() {
  static std::atomic<uint64_t> counter{0};
  uint64_t x = counter.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ull ^
               static_cast<uint64_t>(::getpid()) << 32 ^
               static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string name = ".velkora-";
  for (int i = 0; i < 6; ++i, x /= 36) name.push_back(kDigits[x % 36]);
  return name;
}

// Creates the temporary file beside the target; `mode` goes through the umask as for any new file.
int createTemporary(const std::string& folder, mode_t mode, std::string& tmpPath, std::error_code& error) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    tmpPath = folder + "/" + temporaryName();
    const int fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  error = creationError(folder, errno);
  return -1;
}

// Whether an existing file may be replaced: a regular file the program may write, in a folder whose
// sticky bit does not reserve the file to its owner.
bool mayReplace(const std::string& target, const struct stat& st, std::error_code& error) {
  if (S_ISDIR(st.st_mode)) {
    error = systemError(EISDIR);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = FileError::NotRegularFile;
    return false;
  }
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    error = systemError(errno);
    return false;
  }
  struct stat folder {};
  const uid_t me = ::geteuid();
  if (::stat(folderOf(target).c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) != 0 && me != 0 && st.st_uid != me &&
      folder.st_uid != me) {
    error = systemError(EPERM);
    return false;
  }
  return true;
}

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool syncFile(int fd) {
  while (::fsync(fd) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

const std::error_category& fileErrorCategory() {
  static const FileErrorCategory category;
  return category;
}

std::error_code make_error_code(FileError error) { return {static_cast<int>(error), fileErrorCategory()}; }

bool writeFileAtomically(const std::string& path, std::string_view contents, std::error_code* error) {
  std::error_code reason;
  std::string target;
  if (!resolveLinks(path, target, reason)) return fail(error, reason);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return fail(error, systemError(errno));
  if (exists && !mayReplace(target, existing, reason)) return fail(error, reason);

  // An existing file's content never shows with looser permissions than its own, not even while it
  // is written: the temporary file starts private and takes the old mode before any byte goes in.
  std::string tmpPath;
  const int fd = createTemporary(folderOf(target), exists ? 0600 : 0666, tmpPath, reason);
  if (fd < 0) return fail(error, reason);
  bool ok = true;
  if (exists) {
    // Owner and group where we may set them (root, or a group we belong to); the mode in any case.
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0)
      (void)!::fchown(fd, static_cast<uid_t>(-1), existing.st_gid);
    ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
  }
  ok = ok && writeAll(fd, contents.data(), contents.size()) && syncFile(fd);
  if (!ok) reason = systemError(errno);
  if (::close(fd) != 0 && ok) {
    ok = false;
    reason = systemError(errno);
  }
  if (ok && std::rename(tmpPath.c_str(), target.c_str()) != 0) {
    ok = false;
    reason = systemError(errno);
  }
  if (!ok) {
    ::unlink(tmpPath.c_str());
    return fail(error, reason);
  }
  return true;
}

bool checkFileReplaceable(const std::string& path, std::error_code& error) {
  std::string target;
  if (!resolveLinks(path, target, error)) return false;
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0) {
    if (!mayReplace(target, existing, error)) return false;
    std::string tmpPath;
    const int fd = createTemporary(folderOf(target), 0600, tmpPath, error);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(tmpPath.c_str());
    return true;
  }
  if (errno != ENOENT) {
    error = systemError(errno);
    return false;
  }
  // Creating the file itself tells whether the folder exists, may be written and accepts the name.
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error = creationError(folderOf(target), errno);
    return false;
  }
  ::close(fd);
  ::unlink(target.c_str());
  return true;
}

bool readWholeFile(const std::string& path, std::string& contents, size_t maxSize, std::error_code* error) {
  contents.clear();
  // Without O_NONBLOCK opening a FIFO waits for a writer; O_NOCTTY keeps a terminal from becoming ours.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(error, systemError(errno));
  struct stat st {};
  std::error_code refused;
  if (::fstat(fd, &st) != 0)
    refused = systemError(errno);
  else if (S_ISDIR(st.st_mode))
    refused = systemError(EISDIR);
  else if (!S_ISREG(st.st_mode))
    refused = FileError::NotRegularFile;
  if (refused) {
    ::close(fd);
    return fail(error, refused);
  }
  char buffer[65536];
  bool ok = true;
  int readError = 0;
  while (contents.size() <= maxSize) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      readError = errno;
      ok = false;
      break;
    }
    if (n == 0) break;
    contents.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!ok) {
    contents.clear();
    return fail(error, systemError(readError));
  }
  return true;
}

bool sameExistingFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

}  // namespace velkora
