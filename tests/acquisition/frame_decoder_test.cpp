#include "acquisition/frame_decoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace velkora {
namespace {

struct Rig {
  CalibrationSet calibration;
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  SampleRecorder recorder{calibration, store->repetitions};
  FrameDecoder decoder{recorder};
  Recording& rec() { return store->recording; }

  // Starts `rec()` the way the link does: reset stopped, count and waiting.
  void start(RecordingMode mode, int32_t limit, int32_t offV = 0, int32_t offH = 0, bool wait = false,
             int32_t threshold = 0) {
    Recording& r = rec();
    r.mode = mode;
    r.limit = limit;
    r.offsetVertical = offV;
    r.offsetHorizontal = offH;
    r.waitForStart = wait ? 1 : 0;
    r.startThreshold = threshold;
    r.stopped = 0;
    r.sampleCount = 0;
    r.waiting = wait ? 1 : 0;
    recorder.setActive(&r);
  }
  void frame(int32_t v, int32_t h) {
    uint8_t b[4];
    encodeFrame(v, h, b);
    decoder.feed(b, 4);
  }
  void bytes(std::vector<uint8_t> b) { decoder.feed(b.data(), b.size()); }
  int32_t count() { return rec().sampleCount.load(); }
};

TEST(FrameDecoder, DecodesTaggedBytesAndResynchronisesAfterBadTags) {
  Rig rig;
  rig.start(RecordingMode::Timed, 100);
  rig.bytes({0x05, 0xC3, 0x60, 0x81});
  ASSERT_EQ(rig.count(), 1);
  EXPECT_EQ(rig.store->channels.vertical[0], 323);
  EXPECT_EQ(rig.store->channels.horizontal[0], 2049);

  // A repeated first byte breaks the frame; the mismatching byte is not reused as a frame start.
  rig.bytes({0x05, 0x05, 0xC3, 0x60, 0x81});
  EXPECT_EQ(rig.count(), 1);
  rig.bytes({0x05, 0x05, 0x05, 0xC3, 0x60, 0x81});
  EXPECT_EQ(rig.count(), 2);

  // Lost byte in the middle, extra garbage, then a clean frame: only the clean one is recorded.
  rig.bytes({0x01, 0xC1, 0x81, 0xFF, 0x7F, 0x02, 0xC2, 0x42, 0x82});
  ASSERT_EQ(rig.count(), 3);
  EXPECT_EQ(rig.store->channels.vertical[2], 2 * 64 + 2);
  EXPECT_EQ(rig.store->channels.horizontal[2], 2 * 64 + 2);
}

TEST(FrameDecoder, EveryValueRoundTripsThroughTheWireFormat) {
  Rig rig;
  rig.start(RecordingMode::Timed, kMaxSamples);
  for (int32_t v = 0; v < 4096; ++v) rig.frame(v, 4095 - v);
  ASSERT_EQ(rig.count(), 4096);
  for (int32_t v = 0; v < 4096; ++v) {
    ASSERT_EQ(rig.store->channels.vertical[v], v);
    ASSERT_EQ(rig.store->channels.horizontal[v], 4095 - v);
  }
}

TEST(SampleRecorder, TimedStoresExactlyTheLimitWithDefaultOffsets) {
  Rig rig;
  rig.start(RecordingMode::Timed, 40, 148, 2048);
  rig.store->channels.vertical[40] = -7;
  for (int i = 0; i < 45; ++i) rig.frame(148 + i, i == 0 ? 0 : 2048);
  EXPECT_EQ(rig.count(), 40);
  EXPECT_EQ(rig.rec().stopped.load(), 1);
  EXPECT_EQ(rig.store->channels.vertical[0], 0);
  EXPECT_EQ(rig.store->channels.horizontal[0], -2048);  // raw 0 on the bipolar channel
  EXPECT_EQ(rig.store->channels.vertical[39], 39);
  EXPECT_EQ(rig.store->channels.vertical[40], -7) << "the 41st frame must not be stored";
}

TEST(SampleRecorder, StartTriggerDropsFramesUpToAndIncludingTheOneThatReachesTheForce) {
  Rig rig;
  rig.start(RecordingMode::Timed, 10, 0, 100, true, 20);
  rig.frame(10, 109);  // 19: below
  rig.frame(25, 94);   // 25 - 6 = 19: a signed sum, not the vector magnitude
  EXPECT_EQ(rig.rec().waiting.load(), 1);
  rig.frame(15, 105);  // 20: reaches the start force, dropped as well
  EXPECT_EQ(rig.rec().waiting.load(), 0);
  EXPECT_EQ(rig.count(), 0);
  rig.frame(1, 102);
  ASSERT_EQ(rig.count(), 1);
  EXPECT_EQ(rig.store->channels.vertical[0], 1);

  // The threshold is computed in double with the plate's coefficients and truncated toward zero.
  Rig neg;
  neg.calibration.coefficientVertical = 0.5f;
  neg.start(RecordingMode::Timed, 10, 0, 0, true, 0);
  neg.frame(0, 0);
  neg.frame(1, 0);  // 0.5 truncates to 0, which reaches a threshold of 0
  EXPECT_EQ(neg.rec().waiting.load(), 0);
  Rig below;
  below.calibration.coefficientVertical = 0.5f;
  below.start(RecordingMode::Timed, 10, 0, 2048, true, 1);
  below.frame(3, 2048);  // 1.5 -> 1: reached
  EXPECT_EQ(below.rec().waiting.load(), 0);
}

TEST(SampleRecorder, RepetitionPeaksMeansAndCountOrder) {
  Rig rig;
  rig.calibration.coefficientVertical = 2.0f;
  rig.start(RecordingMode::Repetitions, 3, 0, 100);
  for (int32_t v : {80, 90, 75}) rig.frame(v, 100);
  EXPECT_EQ(rig.store->repetitions.count.load(), 0) << "counted only when the run ends";
  rig.frame(60, 100);
  EXPECT_EQ(rig.store->repetitions.count.load(), 1);
  EXPECT_EQ(rig.store->repetitions.peakVertical[0], 180);
  EXPECT_EQ(rig.store->repetitions.meanVertical[0], 162);  // 2 * (245 / 3 = 81)
  EXPECT_EQ(rig.count(), 4) << "every sample is stored, in or out of a repetition";

  // A run that never exceeds 70 is no repetition; exactly 70 ends one.
  for (int32_t v : {70, 69, 70}) rig.frame(v, 0);
  EXPECT_EQ(rig.store->repetitions.count.load(), 1);

  // Horizontal peaks and means, with negative horizontal means cut toward zero.
  rig.frame(100, 95);
  rig.frame(100, 96);
  rig.frame(0, 100);
  EXPECT_EQ(rig.store->repetitions.count.load(), 2);
  EXPECT_EQ(rig.store->repetitions.meanHorizontal[1], -4);  // -9 / 2 = -4
}

TEST(SampleRecorder, HorizontalPeakThatNeverRisesAboveZeroIsZeroNotAnOldValue) {
  Rig rig;
  rig.store->repetitions.peakHorizontal[0] = 999;  // left from an earlier test
  rig.start(RecordingMode::Repetitions, 5, 0, 100);
  rig.frame(200, 90);
  rig.frame(10, 100);
  ASSERT_EQ(rig.store->repetitions.count.load(), 1);
  EXPECT_EQ(rig.store->repetitions.peakHorizontal[0], 0);
}

TEST(SampleRecorder, StopsAfterTheLastWantedRepetitionAndNeverBeyondTheTable) {
  Rig rig;
  rig.start(RecordingMode::Repetitions, 2);
  for (int rep = 0; rep < 2; ++rep) {
    rig.frame(100, 0);
    rig.frame(0, 0);
  }
  EXPECT_EQ(rig.store->repetitions.count.load(), 2);
  EXPECT_EQ(rig.count(), 4) << "the frame completing the last repetition is stored";
  EXPECT_EQ(rig.rec().stopped.load(), 0);
  rig.frame(100, 0);
  EXPECT_EQ(rig.rec().stopped.load(), 1);
  EXPECT_EQ(rig.count(), 4);

  // A limit above the table's 25 rows stops at 25.
  Rig big;
  big.start(RecordingMode::Repetitions, 60);
  for (int rep = 0; rep < 30; ++rep) {
    big.frame(100, 0);
    big.frame(0, 0);
  }
  EXPECT_EQ(big.store->repetitions.count.load(), kMaxRepetitions);
  EXPECT_EQ(big.rec().stopped.load(), 1);
  EXPECT_EQ(big.store->repetitions.rows(), kMaxRepetitions);
}

TEST(SampleRecorder, LiveKeepsOnlyTheLatestFrame) {
  Rig rig;
  rig.start(RecordingMode::Live, 0, 148, 2048);
  rig.frame(1148, 2000);
  rig.frame(648, 2100);
  EXPECT_EQ(rig.count(), 0);
  EXPECT_EQ(rig.rec().liveVertical.load(), 500);
  EXPECT_EQ(rig.rec().liveHorizontal.load(), 52);
}

TEST(SampleRecorder, CapacityStopsEveryStoringModeAt61000) {
  for (RecordingMode mode : {RecordingMode::Timed, RecordingMode::Repetitions}) {
    Rig rig;
    rig.start(mode, mode == RecordingMode::Timed ? 1000000 : 25);
    uint8_t b[4];
    encodeFrame(500, 2048, b);  // one endless repetition in repetition mode
    for (int i = 0; i < kMaxSamples + 5; ++i) rig.decoder.feed(b, 4);
    EXPECT_EQ(rig.count(), kMaxSamples);
    EXPECT_EQ(rig.rec().stopped.load(), 1);
    EXPECT_EQ(rig.store->repetitions.count.load(), 0) << "a repetition in progress at the end is not counted";
  }
}

TEST(SampleRecorder, StoppedRecordingIgnoresFramesAndNoActiveRecordingIsHarmless) {
  Rig rig;
  rig.start(RecordingMode::Timed, 100);
  rig.rec().stopped = 1;  // STOP
  rig.frame(5, 5);
  EXPECT_EQ(rig.count(), 0);
  rig.recorder.setActive(nullptr);
  rig.frame(5, 5);
  EXPECT_EQ(rig.count(), 0);
}

// A configuration file may hold any offset and coefficient; the arithmetic stays defined and keeps
// every count within the 32-bit sample range.
TEST(SampleRecorder, HostileCalibrationGivesDefinedSaturatedCounts) {
  CalibrationSet hostile;
  hostile.offsetVertical = -1e30f;
  hostile.offsetHorizontal = 1e30f;
  Recording prepared;
  prepared.prepare(0, RecordingMode::Timed, 10, hostile);
  ASSERT_EQ(prepared.offsetVertical, INT32_MIN);
  ASSERT_EQ(prepared.offsetHorizontal, INT32_MAX);

  const struct {
    int32_t offsetVertical, offsetHorizontal, rawVertical, rawHorizontal, vertical, horizontal;
  } cases[] = {
      {INT32_MIN, INT32_MAX, 4095, 0, INT32_MAX, -INT32_MAX},
      {INT32_MIN, INT32_MIN, 0, 1, INT32_MAX, INT32_MAX},
      {-1000000, -2000000, 4095, 4095, 1004095, 2004095},
      {-2147479552, 0, 4095, 0, INT32_MAX, 0},  // exactly the largest count
      {-2147479553, 0, 4095, 0, INT32_MAX, 0},  // one past it
      {148, 2048, 148, 0, 0, -2048},            // sane values keep their exact counts
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.offsetVertical << ' ' << c.offsetHorizontal);
    Rig rig;
    rig.start(RecordingMode::Timed, 10, c.offsetVertical, c.offsetHorizontal);
    rig.frame(c.rawVertical, c.rawHorizontal);
    ASSERT_EQ(rig.count(), 1);
    EXPECT_EQ(rig.store->channels.vertical[0], c.vertical);
    EXPECT_EQ(rig.store->channels.horizontal[0], c.horizontal);
  }
}

TEST(SampleRecorder, RepetitionSumsBeyondThirtyTwoBitsGiveTheTrueMean) {
  // Horizontal counts of two thousand million: three of them pass the 32-bit range.
  Rig rig;
  rig.start(RecordingMode::Repetitions, 2, 0, -2000000000);
  for (int i = 0; i < 3; ++i) rig.frame(100 + i, 0);
  rig.frame(0, 3);
  ASSERT_EQ(rig.store->repetitions.count.load(), 1);
  EXPECT_EQ(rig.store->repetitions.peakHorizontal[0], 2000000000);
  EXPECT_EQ(rig.store->repetitions.meanHorizontal[0], 2000000000);
  EXPECT_EQ(rig.store->repetitions.meanVertical[0], 101);

  // Saturated counts and coefficients far beyond any plate: clamped, never undefined.
  Rig wild;
  wild.calibration.coefficientVertical = 3e38f;
  wild.calibration.coefficientHorizontal = -3e38f;
  wild.start(RecordingMode::Repetitions, 2, 0, INT32_MIN);
  for (int i = 0; i < 1000; ++i) wild.frame(4000, 4095);
  wild.frame(0, 0);
  ASSERT_EQ(wild.store->repetitions.count.load(), 1);
  EXPECT_EQ(wild.store->repetitions.peakVertical[0], INT32_MAX);
  EXPECT_EQ(wild.store->repetitions.meanVertical[0], INT32_MAX);
  EXPECT_EQ(wild.store->repetitions.peakHorizontal[0], INT32_MIN);
  EXPECT_EQ(wild.store->repetitions.meanHorizontal[0], INT32_MIN);
}

}  // namespace
}  // namespace velkora
