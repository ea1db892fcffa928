#include "acquisition/serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velkora {

std::string_view transportStatusName(TransportStatus status) {
  switch (status) {
    case TransportStatus::Ok:
      return "ok";
    case TransportStatus::Timeout:
      return "timeout";
    case TransportStatus::NoDevice:
      return "no device";
    case TransportStatus::Disconnected:
      return "disconnected";
    case TransportStatus::Io:
      return "input/output error";
  }
  return "unknown";
}

namespace {

TransportStatus statusOfOpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return TransportStatus::NoDevice;
    default:
      return TransportStatus::Io;  // busy, no permission, ...
  }
}

// 115200 8N1, raw, no flow control of any kind, reads return what is there.
bool configureLine(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tio, B115200) != 0 || ::cfsetospeed(&tio, B115200) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

TransportStatus SerialLine::open() {
  if (fd_ >= 0) return TransportStatus::Io;  // already open
  // Non-blocking so that neither open (carrier) nor read ever waits; poll() does the waiting.
  const int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return statusOfOpenError(errno);
  if (!::isatty(fd) || !configureLine(fd)) {
    ::close(fd);
    return TransportStatus::Io;
  }
  // The plate's interface wants DTR and RTS raised; pseudo-terminals and some drivers refuse the
  // request, which does no harm.
  int lines = TIOCM_DTR | TIOCM_RTS;
  (void)::ioctl(fd, TIOCMBIS, &lines);
  // Only one program reads the plate at a time (root can still open it, which is fine).
  (void)::ioctl(fd, TIOCEXCL);
  ::tcflush(fd, TCIOFLUSH);  // start from the bytes that arrive from now on
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    ::close(fd);
    return TransportStatus::Io;
  }
  fd_ = fd;
  return TransportStatus::Ok;
}

ReadResult SerialLine::read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) {
  if (fd_ < 0) return {TransportStatus::Io, 0};
  const int waitMs = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, 50));
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
  const int ready = ::poll(fds, 2, waitMs);
  if (ready < 0) return {errno == EINTR ? TransportStatus::Timeout : TransportStatus::Io, 0};
  if (ready == 0) return {TransportStatus::Timeout, 0};
  if ((fds[1].revents & POLLIN) != 0) {
    uint64_t count = 0;
    (void)!::read(wakeFd_, &count, sizeof count);  // woken: the caller looks at its stop request
    return {TransportStatus::Timeout, 0};
  }
  const pollfd& pfd = fds[0];

  if ((pfd.revents & POLLIN) != 0) {
    const ssize_t got = ::read(fd_, buffer, std::min(capacity, kSerialReadChunk));
    if (got > 0) return {TransportStatus::Ok, static_cast<size_t>(got)};
    if (got == 0) return {TransportStatus::Disconnected, 0};  // end of file: the other side hung up
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {TransportStatus::Timeout, 0};
    // An unplugged USB serial device and a pseudo-terminal whose master closed both answer EIO.
    return {errno == EIO || errno == ENODEV || errno == ENXIO ? TransportStatus::Disconnected : TransportStatus::Io, 0};
  }
  if ((pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return {TransportStatus::Disconnected, 0};
  return {TransportStatus::Timeout, 0};
}

void SerialLine::wake() {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  (void)!::write(wakeFd_, &one, sizeof one);
}

void SerialLine::close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  if (wakeFd_ >= 0) ::close(wakeFd_);
  wakeFd_ = -1;
}

}  // namespace velkora
