#include "acquisition/plate_link.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "acquisition/link_fakes.h"
#include "acquisition/plate_devices.h"
#include "acquisition/plate_system.h"
#include "support/temp_dir.h"

namespace velkora {
namespace {

using testing::BorrowedTransport;
using testing::FeedTransport;
using testing::frameBytes;
using testing::LinkRig;
using testing::PseudoTerminal;
using testing::ScriptedFactory;
using testing::TempDir;
using testing::waitFor;
namespace fs = std::filesystem;

void armRecording(Recording& r, int32_t transport, int32_t port, bool waitForStart) {
  r.transport = transport;
  r.portIndex = port;
  r.mode = RecordingMode::Timed;
  r.limit = 1000;
  r.waitForStart = waitForStart ? 1 : 0;
  r.startThreshold = 1000000;  // never reached: the recording stays waiting
  r.offsetVertical = 148;
  r.offsetHorizontal = 2048;
  // Leftovers of an earlier run that the start must clear.
  r.stopped = 1;
  r.sampleCount = 17;
  r.waiting = waitForStart ? 0 : 1;
}

TEST(PlateLink, SecondStartFailsAndLeavesTheRunningLinkUntouched) {
  FeedTransport plate;
  ScriptedFactory factory;
  factory.makeUsb = [&] { return std::make_unique<BorrowedTransport>(plate); };
  LinkRig rig(factory);
  armRecording(rig.rec(), 0, 0, false);
  ASSERT_TRUE(rig.link.startLink(rig.rec()));
  EXPECT_TRUE(rig.link.usbRunning());

  auto otherSamples = std::make_unique<SampleBuffer>();  // zeroed
  Recording other{.transport = 1, .samples = otherSamples.get()};
  other.stopped = 1;
  other.sampleCount = 9;
  EXPECT_FALSE(rig.link.startLink(other));
  EXPECT_EQ(other.stopped.load(), 1) << "a refused start must not reset the other recording";
  EXPECT_EQ(other.sampleCount.load(), 9);
  EXPECT_TRUE(factory.serialPorts.empty());
  EXPECT_EQ(factory.usbRequests, 1);

  // The first link still feeds the first recording.
  plate.push(frameBytes({{148 + 5, 2048}, {148 + 6, 2048}}));
  ASSERT_TRUE(waitFor([&] { return rig.rec().sampleCount.load() == 2; }));
  EXPECT_EQ(otherSamples->vertical[0], 0);
  rig.link.stopLink();
  EXPECT_FALSE(rig.link.running());
  EXPECT_EQ(plate.closes, 2) << "one close after the probe, one at the stop";

  // Stopping again, with nothing running, is harmless; a new start works.
  rig.link.stopLink();
  EXPECT_TRUE(rig.link.startLink(rig.rec()));
  rig.link.stopLink();
}

TEST(PlateLink, AbsentUsbPlateFailsWithNothingRunningButTheRecordingIsReset) {
  TempDir dir;  // an empty sysfs: no serial devices at all
  SystemTransportFactory factory({.sysfsTtyRoot = dir.path().string(), .deviceRoot = "/dev"});
  LinkRig rig(factory);
  armRecording(rig.rec(), 0, 0, true);
  EXPECT_FALSE(rig.link.startLink(rig.rec()));
  EXPECT_FALSE(rig.link.running()) << "a failed probe marks nothing running";
  EXPECT_EQ(rig.rec().stopped.load(), 0);
  EXPECT_EQ(rig.rec().sampleCount.load(), 0);
  EXPECT_EQ(rig.rec().waiting.load(), 1);
  EXPECT_EQ(rig.recorder.active(), &rig.rec());
  rig.link.stopLink();
}

TEST(PlateLink, FailedOpenKeepsTheLinkCountedAsRunningUntilStopped) {
  TempDir dir;
  SystemTransportFactory factory({.serialPortPrefix = dir.file("ttyS")});  // no ports there
  LinkRig rig(factory);
  armRecording(rig.rec(), 1, 3, false);
  EXPECT_FALSE(rig.link.startLink(rig.rec()));
  EXPECT_EQ(rig.rec().stopped.load(), 0);
  EXPECT_EQ(rig.rec().sampleCount.load(), 0);
  EXPECT_EQ(rig.rec().waiting.load(), 0);
  EXPECT_TRUE(rig.link.serialRunning());
  EXPECT_FALSE(rig.link.startLink(rig.rec())) << "every start fails until stopLink";
  rig.link.stopLink();
  EXPECT_FALSE(rig.link.running());

  // The USB plate answers the probe but then fails to open: counted as running until stopped.
  FeedTransport usb;
  usb.failFromOpen = 2;
  ScriptedFactory scripted;
  scripted.makeUsb = [&] { return std::make_unique<BorrowedTransport>(usb); };
  LinkRig usbRig(scripted);
  EXPECT_FALSE(usbRig.link.startLink(usbRig.rec()));
  EXPECT_TRUE(usbRig.link.usbRunning());
  EXPECT_FALSE(usbRig.link.startLink(usbRig.rec()));
  EXPECT_EQ(scripted.usbRequests, 1);
  usbRig.link.stopLink();
  EXPECT_FALSE(usbRig.link.running());

  // A port index outside COM1..COM5 never opens anything.
  Recording r{.portIndex = 5, .transport = 1};
  EXPECT_FALSE(rig.link.startLink(r));
  rig.link.stopLink();
}

TEST(PlateLink, SerialPortIndexTwoOpensComThree) {
  EXPECT_EQ(serialPortName(2), "COM3");
  EXPECT_EQ(serialPortPath(2, PlateDevicePaths{}), "/dev/ttyS2");
  EXPECT_EQ(serialPortPath(-1, PlateDevicePaths{}), "");

  // Only COM3 exists here; it is a pseudo-terminal standing in for the port.
  TempDir dir;
  PseudoTerminal port;
  fs::create_symlink(port.slavePath(), dir.path() / "ttyS2");
  SystemTransportFactory factory({.serialPortPrefix = dir.file("ttyS")});
  LinkRig rig(factory);

  armRecording(rig.rec(), 1, 1, false);
  EXPECT_FALSE(rig.link.startLink(rig.rec())) << "COM2 is absent";
  rig.link.stopLink();

  armRecording(rig.rec(), 1, 2, false);
  ASSERT_TRUE(rig.link.startLink(rig.rec()));
  port.write(frameBytes({{148 + 40, 2048 - 3}}));
  ASSERT_TRUE(waitFor([&] { return rig.rec().sampleCount.load() == 1; }));
  EXPECT_EQ(rig.store->channels.vertical[0], 40);
  EXPECT_EQ(rig.store->channels.horizontal[0], -3);
  rig.link.stopLink();
}

void writeText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

TEST(PlateLink, UsbPlateIsFoundByItsProductDescription) {
  // A sysfs tree as the kernel lays it out: the tty's "device" link points at the USB serial port,
  // two levels below the USB device that carries the product string.
  TempDir sys;
  PseudoTerminal plate;
  const fs::path slave(plate.slavePath());
  const fs::path devices = sys.path() / "devices";
  writeText(devices / "usb1/1-1/product", "FT232R USB UART\n");
  writeText(devices / "usb1/1-2/product", "Orvel velkora\n");
  fs::create_directories(devices / "usb1/1-1/1-1:1.0/ttyUSB0");
  fs::create_directories(devices / "usb1/1-2/1-2:1.0" / slave.filename());
  fs::create_directories(devices / "platform/serial8250/ttyS0");
  const fs::path tty = sys.path() / "class/tty";
  for (const auto& [name, target] : {std::pair<std::string, fs::path>{"ttyUSB0", devices / "usb1/1-1/1-1:1.0/ttyUSB0"},
                                     {slave.filename().string(), devices / "usb1/1-2/1-2:1.0" / slave.filename()},
                                     {"ttyS0", devices / "platform/serial8250/ttyS0"}}) {
    fs::create_directories(tty / name);
    fs::create_directory_symlink(target, tty / name / "device");
  }

  PlateDevicePaths paths{.sysfsTtyRoot = tty.string(), .deviceRoot = slave.parent_path().string()};
  EXPECT_EQ(findPlateDevice(paths), plate.slavePath());

  SystemTransportFactory factory(paths);
  LinkRig rig(factory);
  armRecording(rig.rec(), 0, 4, false);
  ASSERT_TRUE(rig.link.startLink(rig.rec()));
  EXPECT_TRUE(rig.link.usbRunning());
  plate.write(frameBytes({{1000, 2000}, {1001, 2001}}));
  ASSERT_TRUE(waitFor([&] { return rig.rec().sampleCount.load() == 2; }));
  EXPECT_EQ(rig.store->channels.vertical[1], 1001 - 148);
  rig.link.stopLink();

  fs::remove(devices / "usb1/1-2/product");  // unplugged
  EXPECT_EQ(findPlateDevice(paths), std::nullopt);
  EXPECT_FALSE(rig.link.startLink(rig.rec()));
  EXPECT_FALSE(rig.link.running());
}

TEST(PlateLink, LostPlateEndsTheReaderAndKeepsTheSamples) {
  FeedTransport plate;
  ScriptedFactory factory;
  factory.makeUsb = [&] { return std::make_unique<BorrowedTransport>(plate); };
  LinkRig rig(factory);
  armRecording(rig.rec(), 0, 0, false);
  ASSERT_TRUE(rig.link.startLink(rig.rec()));
  plate.push(frameBytes({{200, 2048}, {201, 2048}, {202, 2048}}));
  plate.hangUp();
  ASSERT_TRUE(waitFor([&] { return rig.link.plateLost(); }));
  EXPECT_EQ(rig.link.lossStatus(), TransportStatus::Disconnected);
  EXPECT_EQ(rig.rec().sampleCount.load(), 3);
  EXPECT_TRUE(rig.link.running()) << "the user still stops the link";
  rig.link.stopLink();
  EXPECT_TRUE(rig.link.plateLost()) << "the loss stays visible after the stop";
}

TEST(PlateLink, SilentPlateIsLostAfterTheSilenceLimitWhateverTheRecording) {
  using std::chrono::milliseconds;
  using Clock = std::chrono::steady_clock;
  // A plate that is there but sends nothing, under the real limit of one second: the link reports
  // the plate lost, as an unplugged one, and keeps the recording as it is.
  FeedTransport silent;
  ScriptedFactory factory;
  factory.makeUsb = [&] { return std::make_unique<BorrowedTransport>(silent); };
  LinkRig rig(factory);
  armRecording(rig.rec(), 0, 0, true);
  const auto start = Clock::now();
  ASSERT_TRUE(rig.link.startLink(rig.rec()));
  ASSERT_TRUE(waitFor([&] { return rig.link.plateLost(); }, std::chrono::seconds(3)));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, kPlateSilenceLimit);
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_EQ(rig.link.lossStatus(), TransportStatus::Timeout);
  EXPECT_EQ(rig.rec().waiting.load(), 1);
  rig.link.stopLink();

  // Bytes that keep coming within the limit keep the link alive, even when they make no frame; the
  // silence after the last of them counts from that byte. Every mode is watched the same way.
  for (const RecordingMode mode : {RecordingMode::Timed, RecordingMode::Repetitions, RecordingMode::Live}) {
    SCOPED_TRACE(static_cast<int>(mode));
    armRecording(rig.rec(), 0, 0, false);
    rig.rec().mode = mode;
    rig.rec().limit = mode == RecordingMode::Timed ? 1000 : 5;
    rig.link.setSilenceLimit(milliseconds(200));
    ASSERT_TRUE(rig.link.startLink(rig.rec()));
    Clock::time_point lastPush;
    for (int i = 0; i < 8; ++i) {
      silent.push(i % 2 == 0 ? frameBytes({{148 + 10, 2048}}) : std::vector<uint8_t>{0xC0});
      lastPush = Clock::now();
      std::this_thread::sleep_for(milliseconds(60));
      EXPECT_FALSE(rig.link.plateLost()) << "after " << i + 1 << " pushes";
    }
    ASSERT_TRUE(waitFor([&] { return rig.link.plateLost(); }, std::chrono::seconds(2)));
    EXPECT_GE(Clock::now() - lastPush, milliseconds(150));
    EXPECT_EQ(rig.rec().sampleCount.load(), mode == RecordingMode::Live ? 0 : 4);
    rig.link.stopLink();
    EXPECT_FALSE(rig.link.running());
  }
}

}  // namespace
}  // namespace velkora

namespace velkora {
namespace {

TEST(PlateLink, AfterOpenRunsOnceTheTransportIsOpenAndBeforeAnyFrameIsRecorded) {
  FeedTransport plate;
  ScriptedFactory factory;
  factory.makeUsb = [&] { return std::make_unique<BorrowedTransport>(plate); };
  LinkRig rig(factory);
  armRecording(rig.rec(), 0, 0, false);
  // Frames are waiting before the start: a reader already running would record them at once.
  plate.push(frameBytes({{148 + 1, 2048}, {148 + 2, 2048}, {148 + 3, 2048}}));
  int calls = 0;
  ASSERT_TRUE(rig.link.startLink(rig.rec(), [&] {
    ++calls;
    EXPECT_EQ(plate.opens, 2) << "after the probe and the open";
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(rig.rec().sampleCount.load(), 0) << "no reader yet";
    rig.store->channels.vertical[0] = -1;
  }));
  EXPECT_EQ(calls, 1);
  ASSERT_TRUE(waitFor([&] { return rig.rec().sampleCount.load() == 3; }));
  EXPECT_EQ(rig.store->channels.vertical[0], 1) << "the first frame came after the hook";
  rig.link.stopLink();

  // A transport that cannot be opened never runs the hook.
  plate.failFromOpen = plate.opens + 2;  // the probe opens, the real open fails
  EXPECT_FALSE(rig.link.startLink(rig.rec(), [&] { ++calls; }));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(rig.link.running()) << "the link itself keeps a failed open counted as running";
  rig.link.stopLink();

  // The program's plate system clears that at once.
  PlateSystem system(rig.calibration, rig.store->repetitions, factory);
  EXPECT_FALSE(system.start(rig.rec(), {LinkUse::ForceTest}, [&] { ++calls; }));
  EXPECT_FALSE(system.running());
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace velkora
