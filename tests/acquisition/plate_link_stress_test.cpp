// A million frames through the link as fast as it takes them, while this thread watches the
// recording the way the user interface does: read a count with acquire, then only entries below it.
#include <gtest/gtest.h>

#include "acquisition/link_fakes.h"

namespace velkora {
namespace {

using testing::LinkRig;
using testing::MemoryTransport;
using testing::ScriptedFactory;

constexpr int32_t kSessions = 16;
constexpr int32_t kFramesPerSession = 62500;  // 16 x 62500 = 1,000,000 frames

// Timed sessions: a pattern that shows any misplaced or torn sample.
int32_t timedVertical(int32_t i) { return (i * 7 + 3) % 4096; }
int32_t timedHorizontal(int32_t i) { return (i * 13 + 5) % 4096; }
// Repetition sessions: cycles of 100 frames, 60 above the threshold (200..259) then 40 at 10.
int32_t repVertical(int32_t i) { return i % 100 < 60 ? 200 + i % 100 : 10; }
constexpr int32_t kRepHorizontal = 300;

TEST(PlateLinkStress, MillionFramesWhileTheRecordingIsWatched) {
  std::vector<uint8_t> timedBytes(4 * kFramesPerSession);
  std::vector<uint8_t> repBytes(4 * kFramesPerSession);
  for (int32_t i = 0; i < kFramesPerSession; ++i) {
    encodeFrame(timedVertical(i), timedHorizontal(i), &timedBytes[4 * i]);
    encodeFrame(repVertical(i), kRepHorizontal, &repBytes[4 * i]);
  }
  bool repetitions = false;
  ScriptedFactory factory;
  // Odd chunk sizes split frames between reads.
  factory.makeUsb = [&] { return std::make_unique<MemoryTransport>(repetitions ? repBytes : timedBytes, 1021); };
  LinkRig rig(factory);
  Recording& r = rig.rec();
  const SampleBuffer& samples = rig.store->channels;
  const RepetitionTable& table = rig.store->repetitions;

  uint64_t framesThrough = 0;
  for (int32_t session = 0; session < kSessions; ++session) {
    repetitions = session % 2 == 1;
    r.prepare(0, repetitions ? RecordingMode::Repetitions : RecordingMode::Timed,
              repetitions ? kMaxRepetitions : kMaxSamples, rig.calibration);
    r.offsetVertical = 0;
    r.offsetHorizontal = 0;
    rig.store->repetitions.count.store(0);
    ASSERT_TRUE(rig.link.startLink(r));

    int32_t checkedSamples = 0;
    int32_t checkedRows = 0;
    bool ended = false;
    while (!ended) {
      ended = rig.link.plateLost();  // the stream is over once the transport runs dry
      const int32_t n = r.sampleCount.load(std::memory_order_acquire);
      for (; checkedSamples < n; ++checkedSamples) {
        const int32_t i = checkedSamples;
        const int32_t v = repetitions ? repVertical(i) : timedVertical(i);
        const int32_t h = repetitions ? kRepHorizontal : timedHorizontal(i);
        ASSERT_EQ(samples.vertical[i], v) << "session " << session << " sample " << i;
        ASSERT_EQ(samples.horizontal[i], h) << "session " << session << " sample " << i;
      }
      const int32_t k = table.count.load(std::memory_order_acquire);
      for (; checkedRows < k; ++checkedRows) {
        ASSERT_EQ(table.peakVertical[checkedRows], 259);
        ASSERT_EQ(table.meanVertical[checkedRows], 229);  // (200 + ... + 259) / 60
        ASSERT_EQ(table.peakHorizontal[checkedRows], kRepHorizontal);
        ASSERT_EQ(table.meanHorizontal[checkedRows], kRepHorizontal);
      }
    }
    EXPECT_EQ(rig.link.lossStatus(), TransportStatus::Disconnected);
    framesThrough += rig.link.bytesReceived() / 4;
    rig.link.stopLink();

    EXPECT_EQ(r.stopped.load(), 1);
    if (repetitions) {
      EXPECT_EQ(table.count.load(), kMaxRepetitions);
      // The 25th repetition ends at frame 2460; that frame is stored, the next one stops the recording.
      EXPECT_EQ(r.sampleCount.load(), 24 * 100 + 61);
    } else {
      EXPECT_EQ(r.sampleCount.load(), kMaxSamples);
    }
  }
  EXPECT_EQ(framesThrough, 1000000u);
}

}  // namespace
}  // namespace velkora
