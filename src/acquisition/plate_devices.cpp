#include "acquisition/plate_devices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace velkora {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute, without its line end.
std::optional<std::string> readAttribute(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// A transport that never opens: a port index outside COM1..COM5.
class MissingTransport final : public PlateTransport {
 public:
  TransportStatus open() override { return TransportStatus::NoDevice; }
  ReadResult read(uint8_t*, size_t, std::chrono::milliseconds) override { return {TransportStatus::NoDevice, 0}; }
  void close() override {}
};

}  // namespace

std::string serialPortName(int32_t portIndex) {
  if (portIndex < 0 || portIndex >= kSerialPortCount) return {};
  return "COM" + std::to_string(portIndex + 1);
}

std::string serialPortPath(int32_t portIndex, const PlateDevicePaths& paths) {
  if (portIndex < 0 || portIndex >= kSerialPortCount) return {};
  return paths.serialPortPrefix + std::to_string(portIndex);
}

std::optional<std::string> findPlateDevice(const PlateDevicePaths& paths) {
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(paths.sysfsTtyRoot, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    // The path is left for the kernel to resolve: "device" is a link into the USB device tree. A
    // USB serial converter's port sits two levels below the USB device that carries the product
    // description, a CDC-ACM interface one level.
    const std::string device = paths.sysfsTtyRoot + "/" + name + "/device";
    for (const char* up : {"/../../product", "/../product"}) {
      const auto product = readAttribute(device + up);
      if (product && *product == kPlateProductName) return paths.deviceRoot + "/" + name;
    }
  }
  return std::nullopt;
}

TransportStatus UsbPlateTransport::open() {
  if (line_) return TransportStatus::Io;  // already open
  const auto path = findPlateDevice(paths_);
  if (!path) return TransportStatus::NoDevice;
  line_.emplace(*path);
  const TransportStatus status = line_->open();
  if (status != TransportStatus::Ok) line_.reset();
  return status;
}

ReadResult UsbPlateTransport::read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) {
  if (!line_) return {TransportStatus::Io, 0};
  return line_->read(buffer, capacity, timeout);
}

void UsbPlateTransport::close() { line_.reset(); }

std::unique_ptr<PlateTransport> SystemTransportFactory::usbTransport() {
  return std::make_unique<UsbPlateTransport>(paths_);
}

std::unique_ptr<PlateTransport> SystemTransportFactory::serialTransport(int32_t portIndex) {
  const std::string path = serialPortPath(portIndex, paths_);
  if (path.empty()) return std::make_unique<MissingTransport>();
  return std::make_unique<SerialLine>(path);
}

}  // namespace velkora
