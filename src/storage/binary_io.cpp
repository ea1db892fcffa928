#include "storage/binary_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace velkora {
namespace {

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

}  // namespace

bool writeFileAtomically(const std::string& path, std::string_view contents) {
  // The temporary file lies in the target's own directory so the rename stays on one file system.
  // It is created with the mode of an ordinary new file (0666 less the umask), without touching the
  // process-wide umask.
  static std::atomic<uint32_t> counter{0};
  int fd = -1;
  std::string tmpPath;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".tmp-%ld-%u", static_cast<long>(::getpid()),
                  static_cast<unsigned>(counter.fetch_add(1, std::memory_order_relaxed)));
    tmpPath = path + suffix;
    fd = ::open(tmpPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = writeAll(fd, contents.data(), contents.size()) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(tmpPath.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(tmpPath.c_str());
  return ok;
}

bool readWholeFile(const std::string& path, std::string& contents, size_t maxSize) {
  contents.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  bool ok = true;
  while (contents.size() <= maxSize) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    contents.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!ok) contents.clear();
  return ok;
}

}  // namespace velkora
