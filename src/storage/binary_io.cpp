#include "storage/binary_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

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
  // mkstemp in the target's own directory keeps the rename on one file system.
  std::vector<char> tmpl(path.begin(), path.end());
  const char suffix[] = ".tmp-XXXXXX";
  tmpl.insert(tmpl.end(), suffix, suffix + sizeof suffix);  // includes the terminator
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  const std::string tmpPath(tmpl.data());
  bool ok = writeAll(fd, contents.data(), contents.size()) && ::fsync(fd) == 0;
  // Keep the permissions an ordinary new file would get rather than mkstemp's 0600.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ok = ::fchmod(fd, 0666 & ~mask) == 0 && ok;
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
