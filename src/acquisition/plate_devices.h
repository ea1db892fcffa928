#pragma once
// Where the plate is found on this machine: the USB plate by its USB product description, the
// serial ports "COM1".."COM5" as the first five serial devices. The roots are fields so that tests
// point them at a directory of their own.

#include <optional>
#include <string>
#include <string_view>

#include "acquisition/plate_transport.h"
#include "acquisition/serial_line.h"

namespace velkora {

inline constexpr std::string_view kPlateProductName = "Orvel velkora";
inline constexpr int32_t kSerialPortCount = 5;

struct PlateDevicePaths {
  std::string sysfsTtyRoot = "/sys/class/tty";  // one entry per serial device, as sysfs lists them
  std::string deviceRoot = "/dev";              // where the device nodes of those entries live
  std::string serialPortPrefix = "/dev/ttyS";   // followed by 0..4 for COM1..COM5
};

// "COM1".."COM5" for portIndex 0..4; empty for any other index.
std::string serialPortName(int32_t portIndex);
// The device node of COMn, or empty when portIndex is outside 0..4.
std::string serialPortPath(int32_t portIndex, const PlateDevicePaths& paths);

// The device node of the first serial device (by name) whose USB product description is the
// plate's; nothing when no plate is plugged in.
std::optional<std::string> findPlateDevice(const PlateDevicePaths& paths);

// The plate on its USB interface: looked up afresh at every open, then a serial line.
class UsbPlateTransport final : public PlateTransport {
 public:
  explicit UsbPlateTransport(PlateDevicePaths paths) : paths_(std::move(paths)) {}
  TransportStatus open() override;
  ReadResult read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) override;
  void close() override;
  void wake() override {
    if (line_) line_->wake();
  }

 private:
  PlateDevicePaths paths_;
  std::optional<SerialLine> line_;
};

// The transports of the real machine.
class SystemTransportFactory final : public TransportFactory {
 public:
  SystemTransportFactory() = default;
  explicit SystemTransportFactory(PlateDevicePaths paths) : paths_(std::move(paths)) {}
  std::unique_ptr<PlateTransport> usbTransport() override;
  std::unique_ptr<PlateTransport> serialTransport(int32_t portIndex) override;

 private:
  PlateDevicePaths paths_;
};

}  // namespace velkora
