// The real serial code path, driven over a pseudo-terminal pair.
#include "acquisition/serial_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "acquisition/link_fakes.h"
#include "acquisition/simulated_plate.h"

namespace velkora {
namespace {

using namespace std::chrono;
using testing::frameBytes;
using testing::LinkRig;
using testing::PseudoTerminal;
using testing::ScriptedFactory;
using testing::waitFor;

struct PtyRig {
  PseudoTerminal pty;
  ScriptedFactory factory;
  LinkRig rig{factory};
  PtyRig() {
    factory.makeUsb = [this] { return std::make_unique<SerialLine>(pty.slavePath()); };
    Recording& r = rig.rec();
    r.transport = 0;
    r.mode = RecordingMode::Timed;
    r.limit = kMaxSamples;
    r.offsetVertical = 0;
    r.offsetHorizontal = 0;
  }
};

TEST(SerialLine, BytesArriveDecodedInOrderAcrossChunkBoundaries) {
  PtyRig t;
  ASSERT_TRUE(t.rig.link.startLink(t.rig.rec()));

  // Every value of both channels, including the bytes a cooked terminal would mangle (CR, LF, XON,
  // XOFF, ^C all occur as frame bytes), written in pieces that split frames anywhere.
  constexpr int32_t kFrames = 4096;
  std::vector<std::pair<int32_t, int32_t>> values;
  for (int32_t i = 0; i < kFrames; ++i) values.emplace_back(i, (i * 1237 + 11) % 4096);
  const std::vector<uint8_t> bytes = frameBytes(values);
  size_t sent = 0;
  for (size_t piece : {1, 2, 3, 5, 7, 1021, 13, 509, 4099}) {
    piece = std::min(piece, bytes.size() - sent);
    t.pty.write(bytes.data() + sent, piece);
    sent += piece;
    std::this_thread::sleep_for(milliseconds(2));
  }
  t.pty.write(bytes.data() + sent, bytes.size() - sent);

  ASSERT_TRUE(waitFor([&] { return t.rig.rec().sampleCount.load() == kFrames; }))
      << "got " << t.rig.rec().sampleCount.load();
  for (int32_t i = 0; i < kFrames; ++i) {
    ASSERT_EQ(t.rig.store->channels.vertical[i], values[i].first) << i;
    ASSERT_EQ(t.rig.store->channels.horizontal[i], values[i].second) << i;
  }
  EXPECT_FALSE(t.rig.link.plateLost());
  EXPECT_EQ(t.rig.link.bytesReceived(), bytes.size());
  t.rig.link.stopLink();
}

TEST(SerialLine, HangUpIsReportedAsDisconnectedAndKeepsTheSamples) {
  PtyRig t;
  ASSERT_TRUE(t.rig.link.startLink(t.rig.rec()));
  t.pty.write(frameBytes({{300, 2048}, {301, 2048}}));
  ASSERT_TRUE(waitFor([&] { return t.rig.rec().sampleCount.load() == 2; }));
  t.pty.hangUp();
  ASSERT_TRUE(waitFor([&] { return t.rig.link.plateLost(); }));
  EXPECT_EQ(t.rig.link.lossStatus(), TransportStatus::Disconnected);
  EXPECT_EQ(t.rig.rec().sampleCount.load(), 2);
  t.rig.link.stopLink();
  EXPECT_FALSE(t.rig.link.running());
}

TEST(SerialLine, StopWithASilentPlateReturnsWithinAHundredMilliseconds) {
  PtyRig t;
  std::vector<double> stops;
  for (int round = 0; round < 5; ++round) {
    ASSERT_TRUE(t.rig.link.startLink(t.rig.rec()));
    std::this_thread::sleep_for(milliseconds(30));  // the reader is waiting in poll()
    const auto before = steady_clock::now();
    t.rig.link.stopLink();
    stops.push_back(duration<double, std::milli>(steady_clock::now() - before).count());
  }
  std::sort(stops.begin(), stops.end());
  // The median shows the bound; the maximum only guards against a hang, as a loaded machine may
  // delay any single stop.
  EXPECT_LT(stops[2], 100.0);
  EXPECT_LT(stops.back(), 2000.0);
  EXPECT_EQ(t.rig.rec().sampleCount.load(), 0);
}

// A read that waits for a silent plate returns as soon as the link's stop wakes it, on the serial
// line and on the simulated plate alike, instead of sitting out its timeout.
TEST(SerialLine, WakeEndsAWaitingReadAtOnce) {
  PseudoTerminal pty;
  SerialLine line(pty.slavePath());
  ASSERT_EQ(line.open(), TransportStatus::Ok);
  SimulatedPlateTransport silent(Scenario{.kind = ScenarioKind::Silent}, SimulationClock::RealTime);
  ASSERT_EQ(silent.open(), TransportStatus::Ok);
  for (PlateTransport* transport : {static_cast<PlateTransport*>(&line), static_cast<PlateTransport*>(&silent)}) {
    std::vector<double> waits;
    for (int round = 0; round < 5; ++round) {
      std::thread waker([&] {
        std::this_thread::sleep_for(milliseconds(5));
        transport->wake();
      });
      uint8_t buffer[16];
      const auto before = steady_clock::now();
      const ReadResult got = transport->read(buffer, sizeof buffer, milliseconds(50));
      waits.push_back(duration<double, std::milli>(steady_clock::now() - before).count());
      waker.join();
      EXPECT_EQ(got.status, TransportStatus::Timeout);
    }
    std::sort(waits.begin(), waits.end());
    EXPECT_LT(waits[2], 30.0) << "the read waited for its timeout of 50 ms";
  }
}

TEST(SerialLine, OpenFailuresAndReadsOfAClosedLine) {
  SerialLine missing("/nonexistent/ttyUSB9");
  EXPECT_EQ(missing.open(), TransportStatus::NoDevice);
  SerialLine notATerminal("/dev/null");
  EXPECT_EQ(notATerminal.open(), TransportStatus::Io);
  EXPECT_FALSE(notATerminal.isOpen());
  uint8_t buffer[16];
  EXPECT_EQ(notATerminal.read(buffer, sizeof buffer, milliseconds(1)).status, TransportStatus::Io);

  PseudoTerminal pty;
  SerialLine line(pty.slavePath());
  ASSERT_EQ(line.open(), TransportStatus::Ok);
  EXPECT_EQ(line.open(), TransportStatus::Io) << "already open";
  EXPECT_EQ(line.read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Timeout);
  line.close();
  line.close();
}

}  // namespace
}  // namespace velkora
