#include "acquisition/plate_presence.h"

#include <fcntl.h>

#if defined(__linux__)
#include <libudev.h>
#endif

namespace velkora {
namespace {

#if defined(__linux__)
class UdevMonitorSource final : public DeviceEventSource {
 public:
  UdevMonitorSource(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}
  ~UdevMonitorSource() override {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
  }
  UdevMonitorSource(const UdevMonitorSource&) = delete;
  UdevMonitorSource& operator=(const UdevMonitorSource&) = delete;

  int fileDescriptor() const override { return udev_monitor_get_fd(monitor_); }

  std::optional<DeviceEvent> next() override {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (device == nullptr) return std::nullopt;
    const auto text = [](const char* value) { return value != nullptr ? std::string(value) : std::string(); };
    DeviceEvent event{text(udev_device_get_action(device)), text(udev_device_get_subsystem(device)),
                      text(udev_device_get_devnode(device))};
    udev_device_unref(device);
    return event;
  }

 private:
  udev* udev_;
  udev_monitor* monitor_;
};
#endif

}  // namespace

std::unique_ptr<DeviceEventSource> openUdevMonitor() {
#if defined(__linux__)
  udev* context = udev_new();
  if (context == nullptr) return nullptr;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  if (monitor == nullptr) {
    udev_unref(context);
    return nullptr;
  }
  auto source = std::make_unique<UdevMonitorSource>(context, monitor);
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor) < 0)
    return nullptr;
  // Reading must never wait: the program only reads when the descriptor said there is something.
  const int fd = udev_monitor_get_fd(monitor);
  const int flags = fd >= 0 ? ::fcntl(fd, F_GETFL) : -1;
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return nullptr;
  return source;
#else
  return nullptr;
#endif
}

PlatePresence::PlatePresence(std::unique_ptr<DeviceEventSource> events, PlateDevicePaths paths)
    : events_(std::move(events)), paths_(std::move(paths)), device_(findPlateDevice(paths_)) {}

bool PlatePresence::handleEvents() {
  if (!events_) return false;
  bool any = false;
  while (events_->next()) any = true;
  if (!any) return false;
  std::optional<std::string> now = findPlateDevice(paths_);
  if (now == device_) return false;
  device_ = std::move(now);
  return true;
}

std::string plateStatusText(PlateConnection connection, const std::optional<std::string>& usbDevice,
                            int32_t portIndex) {
  switch (connection) {
    case PlateConnection::Simulated:
      return "Simulated plate";
    case PlateConnection::SerialPort: {
      const std::string port = serialPortName(portIndex);
      return port.empty() ? "Plate: not found" : "Plate: " + port;
    }
    case PlateConnection::Usb:
      break;
  }
  return usbDevice ? "Plate: " + *usbDevice : "Plate: not found";
}

}  // namespace velkora
