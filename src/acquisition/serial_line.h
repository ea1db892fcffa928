#pragma once
// A POSIX serial line set up the way the plate talks: raw, 115200 baud, 8N1, no flow control, DTR
// and RTS on. Serves the USB plate (whose USB serial chip the operating system drives) and the
// serial ports alike, and opens pseudo-terminals too, which is how the tests drive it.

#include <string>

#include "acquisition/plate_transport.h"

namespace velkora {

inline constexpr size_t kSerialReadChunk = 1024;

class SerialLine final : public PlateTransport {
 public:
  explicit SerialLine(std::string devicePath) : path_(std::move(devicePath)) {}
  ~SerialLine() override { close(); }
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  TransportStatus open() override;
  ReadResult read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) override;
  void close() override;
  void wake() override;

  const std::string& path() const { return path_; }
  bool isOpen() const { return fd_ >= 0; }

 private:
  std::string path_;
  int fd_ = -1;
  int wakeFd_ = -1;  // an eventfd polled beside the line; wake() makes it readable
};

}  // namespace velkora
