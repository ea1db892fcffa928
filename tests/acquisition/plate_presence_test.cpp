#include "acquisition/plate_presence.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "support/temp_dir.h"

namespace velkora {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Device events a test hands to the watcher, as udev would announce them.
class ScriptedEvents final : public DeviceEventSource {
 public:
  explicit ScriptedEvents(std::deque<DeviceEvent>& queue) : queue_(queue) {}
  int fileDescriptor() const override { return -1; }
  std::optional<DeviceEvent> next() override {
    if (queue_.empty()) return std::nullopt;
    DeviceEvent event = queue_.front();
    queue_.pop_front();
    return event;
  }

 private:
  std::deque<DeviceEvent>& queue_;
};

// A sysfs tree where USB serial devices come and go: `product` is the USB product description of the
// device the tty belongs to.
class SysfsTree {
 public:
  void plug(const std::string& tty, const std::string& product) {
    const fs::path usb = dir_.path() / "devices/usb1" / tty;
    fs::create_directories(usb / "port" / tty);
    std::ofstream(usb / "product") << product << '\n';
    fs::create_directories(ttyRoot() / tty);
    fs::create_directory_symlink(usb / "port" / tty, ttyRoot() / tty / "device");
  }
  void unplug(const std::string& tty) {
    fs::remove_all(ttyRoot() / tty);
    fs::remove_all(dir_.path() / "devices/usb1" / tty);
  }
  PlateDevicePaths paths() const { return {.sysfsTtyRoot = ttyRoot().string(), .deviceRoot = "/dev"}; }

 private:
  fs::path ttyRoot() const { return dir_.path() / "class/tty"; }
  TempDir dir_;
};

TEST(PlatePresence, FollowsThePlateThroughItsDeviceEventsOnly) {
  SysfsTree sys;
  sys.plug("ttyUSB0", "FT232R USB UART");  // another USB serial converter
  std::deque<DeviceEvent> events;
  PlatePresence presence(std::make_unique<ScriptedEvents>(events), sys.paths());
  EXPECT_EQ(presence.device(), std::nullopt);

  const struct {
    const char* what;
    std::function<void()> change;  // of the machine, before the event
    std::vector<DeviceEvent> events;
    bool changed;
    std::optional<std::string> device;
  } steps[] = {
      {"an unrelated converter goes", [&] { sys.unplug("ttyUSB0"); }, {{"remove", "tty", "/dev/ttyUSB0"}}, false, {}},
      {"the plate is plugged in",
       [&] { sys.plug("ttyUSB1", "Orvel velkora"); },
       {{"add", "tty", "/dev/ttyUSB1"}},
       true,
       "/dev/ttyUSB1"},
      {"an event that changes nothing", [] {}, {{"change", "tty", "/dev/ttyUSB1"}}, false, "/dev/ttyUSB1"},
      // Without an event nothing is looked at, whatever happened: the watcher never polls.
      {"unplugged, no event yet", [&] { sys.unplug("ttyUSB1"); }, {}, false, "/dev/ttyUSB1"},
      {"the event of the unplug", [] {}, {{"remove", "tty", "/dev/ttyUSB1"}}, true, {}},
      {"plugged back in on another node, events in a burst",
       [&] {
         sys.plug("ttyUSB2", "Orvel velkora");
         sys.plug("ttyUSB3", "FT232R USB UART");
       },
       {{"add", "tty", "/dev/ttyUSB2"}, {"add", "tty", "/dev/ttyUSB3"}},
       true,
       "/dev/ttyUSB2"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    events.insert(events.end(), step.events.begin(), step.events.end());
    EXPECT_EQ(presence.handleEvents(), step.changed);
    EXPECT_EQ(presence.device(), step.device);
    EXPECT_TRUE(events.empty()) << "every waiting event is taken";
    EXPECT_EQ(plateStatusText(PlateConnection::Usb, presence.device(), 0),
              step.device ? "Plate: " + *step.device : "Plate: not found");
  }
}

TEST(PlatePresence, StatusTexts) {
  EXPECT_EQ(plateStatusText(PlateConnection::Usb, "/dev/ttyUSB0", 0), "Plate: /dev/ttyUSB0");
  EXPECT_EQ(plateStatusText(PlateConnection::Usb, std::nullopt, 0), "Plate: not found");
  EXPECT_EQ(plateStatusText(PlateConnection::SerialPort, std::nullopt, 1), "Plate: COM2");
  EXPECT_EQ(plateStatusText(PlateConnection::SerialPort, "/dev/ttyUSB0", 4), "Plate: COM5");
  EXPECT_EQ(plateStatusText(PlateConnection::SerialPort, std::nullopt, 5), "Plate: not found");
  EXPECT_EQ(plateStatusText(PlateConnection::Simulated, "/dev/ttyUSB0", 0), "Simulated plate");
}

// The machine's own monitor, where udev can be reached: a descriptor to watch, and reading with no event
// waiting returns at once.
TEST(PlatePresence, UdevMonitorNeverBlocks) {
  std::unique_ptr<DeviceEventSource> udev = openUdevMonitor();
  if (!udev) GTEST_SKIP() << "udev cannot be reached here";
  ASSERT_GE(udev->fileDescriptor(), 0);
  pollfd waiting{udev->fileDescriptor(), POLLIN, 0};
  if (::poll(&waiting, 1, 0) == 0) {
    EXPECT_EQ(udev->next(), std::nullopt);
  }
  PlatePresence presence(std::move(udev));
  EXPECT_GE(presence.fileDescriptor(), 0);
  presence.handleEvents();
}

}  // namespace
}  // namespace velkora
