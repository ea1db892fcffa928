#include "acquisition/measurement_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "reports/jump_analysis.h"
#include "reports/report_fixtures.h"

namespace velkora {
namespace {

TEST(MeasurementStore, ForceAtConvertsCountsWithTheStoresOwnCalibration) {
  auto store = std::make_unique<MeasurementStore>();
  store->calibration.coefficientVertical = 1.0f;
  store->calibration.coefficientHorizontal = 1.0f;
  store->channels.vertical[5] = 3;
  store->channels.horizontal[5] = -4;
  EXPECT_EQ(forceAt(*store, 5, ForceChannel::Vector), 5.0f);
  EXPECT_EQ(forceAt(*store, 5, ForceChannel::Horizontal), -4.0f);
  EXPECT_EQ(forceAt(*store, 5, static_cast<ForceChannel>(7)), 0.0f);

  store->calibration.coefficientVertical = 2.5f;
  store->calibration.coefficientHorizontal = 0.5f;
  store->channels.vertical[60999] = 1000;
  store->channels.horizontal[60999] = 10;
  EXPECT_EQ(forceAt(*store, 60999, ForceChannel::Vertical), 2500.0f);
  EXPECT_EQ(forceAt(*store, 60999, ForceChannel::Vector), std::sqrt(2500.0f * 2500.0f + 25.0f));

  // Without an analysis of the store's data the kinematic channels are 0.
  for (ForceChannel c : {ForceChannel::Velocity, ForceChannel::Displacement, ForceChannel::Power})
    EXPECT_EQ(forceAt(*store, 5, c), 0.0f);
}

TEST(MeasurementStore, KinematicChannelsReadZeroAtAndPastTheSampleCount) {
  // A long jump analysed first, then a shorter recording that ends in the landing analysed in the same
  // store: the slots past the shorter one still hold the long analysis.
  auto store = testing::makeStore({{1000, 736}, {300, 400}, {300, 1500}, {400, 0}, {100, 2000}, {300, 736}},
                                  TestKind::Power, 75.0f);
  computeJumpResults(*store);
  const int32_t shorter = 2050;  // in the landing
  ASSERT_TRUE(store->jump.hasModel);
  ASSERT_NE(store->jump.velocity[shorter], 0.0f);
  store->sampleCount = shorter;
  computeJumpResults(*store);
  ASSERT_TRUE(store->jump.hasModel);
  ASSERT_NE(store->jump.velocity[shorter], 0.0f) << "the spare slot keeps the earlier analysis";
  for (ForceChannel c : {ForceChannel::Velocity, ForceChannel::Displacement, ForceChannel::Power}) {
    EXPECT_NE(forceAt(*store, shorter - 1, c), 0.0f) << static_cast<int>(c);
    EXPECT_EQ(forceAt(*store, shorter, c), 0.0f) << static_cast<int>(c);
    EXPECT_EQ(forceAt(*store, 60999, c), 0.0f) << static_cast<int>(c);
  }
  EXPECT_NE(forceAt(*store, shorter, ForceChannel::Vertical), 0.0f) << "the force channels read the slot as it is";
}

TEST(MeasurementStore, ResetForANewTestTakesThePlatesCalibrationAndEmptiesCounts) {
  auto store = std::make_unique<MeasurementStore>();
  EXPECT_EQ(store->saved.load(), 1);
  EXPECT_EQ(store->recordingAvailable.load(), 0);
  EXPECT_EQ(store->recording.samples, &store->channels);
  store->sampleCount = 500;
  store->repetitions.count = 4;
  store->repetitions.peakVertical[0] = 77;
  store->recordingAvailable = 1;
  store->jump.analysed = true;
  CalibrationSet plate{100.0f, 2000.0f, 3.0f, 4.0f};
  // A time after 2038 keeps its low 32 bits.
  const int64_t now = 0x1'2345'6789LL;
  store->resetForNewTest(plate, now);
  EXPECT_EQ(store->calibration.coefficientHorizontal, 4.0f);
  EXPECT_EQ(store->sampleCount.load(), 0);
  EXPECT_EQ(store->repetitions.count.load(), 0);
  EXPECT_EQ(store->repetitions.peakVertical[0], 77) << "rows are overwritten by the new test, not cleared";
  EXPECT_EQ(store->recordingAvailable.load(), 0);
  EXPECT_FALSE(store->jump.analysed);
  EXPECT_EQ(static_cast<uint32_t>(store->testTime), 0x2345'6789u);
}

TEST(MeasurementStore, PreparedRecordingTruncatesOffsetsTowardZero) {
  Recording r;
  r.prepare(2, RecordingMode::Timed, 5000, CalibrationSet{148.9f, -3.7f, 1.0f, 1.0f}, true, 20);
  EXPECT_EQ(r.portIndex, 2);
  EXPECT_EQ(r.transport, 0);
  EXPECT_EQ(r.offsetVertical, 148);
  EXPECT_EQ(r.offsetHorizontal, -3);
  EXPECT_EQ(r.waitForStart, 1);
  EXPECT_EQ(r.startThreshold, 20);

  RepetitionTable t;
  t.count = 40;
  EXPECT_EQ(t.rows(), kMaxRepetitions);
  t.count = -1;
  EXPECT_EQ(t.rows(), 0);
}

}  // namespace
}  // namespace velkora
