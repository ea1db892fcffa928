#pragma once
// Whether the USB plate is plugged in, told by the system's device events rather than by polling: the
// watcher looks for the plate once at the start and again after the events its source reports (udev's
// monitor reports those of the serial devices). The window watches the source's descriptor with its
// event loop (a QSocketNotifier), a command line with poll(); tests feed their own events.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/plate_devices.h"

namespace velkora {

// One device event as udev announces it.
struct DeviceEvent {
  std::string action;     // "add", "remove", "change", "bind", ...
  std::string subsystem;  // "tty" for the serial devices
  std::string devNode;    // "/dev/ttyUSB0"; empty for a device without a node
};

// Where device events come from.
class DeviceEventSource {
 public:
  virtual ~DeviceEventSource() = default;
  // Becomes readable when events wait; -1 when the source has no descriptor.
  virtual int fileDescriptor() const = 0;
  // The next waiting event, nothing when none waits; never blocks.
  virtual std::optional<DeviceEvent> next() = 0;
};

// udev's monitor of the serial devices (subsystem "tty"), as udev announces them once its rules have
// run. Null where udev cannot be reached (no netlink socket, another system than Linux).
std::unique_ptr<DeviceEventSource> openUdevMonitor();

class PlatePresence {
 public:
  // Looks for the plate at once. Without a source the answer never changes.
  explicit PlatePresence(std::unique_ptr<DeviceEventSource> events, PlateDevicePaths paths = {});

  // The plate's device node as last found; nothing when no plate is plugged in.
  const std::optional<std::string>& device() const { return device_; }
  // The event source's descriptor, -1 without one.
  int fileDescriptor() const { return events_ ? events_->fileDescriptor() : -1; }
  // Takes every waiting event; after any, looks for the plate again (sysfs only, the device itself is
  // never opened). True when the plate came, went or now has another node.
  bool handleEvents();

 private:
  std::unique_ptr<DeviceEventSource> events_;
  PlateDevicePaths paths_;
  std::optional<std::string> device_;
};

// How the program reaches the plate.
enum class PlateConnection : int32_t { Usb, SerialPort, Simulated };

// The status bar's plate field: "Plate: /dev/ttyUSB0" or "Plate: not found" for the USB plate,
// "Plate: COM2" for serial port index 1, "Simulated plate".
std::string plateStatusText(PlateConnection connection, const std::optional<std::string>& usbDevice, int32_t portIndex);

}  // namespace velkora
