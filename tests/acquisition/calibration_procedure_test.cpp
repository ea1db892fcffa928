#include "acquisition/calibration_procedure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "acquisition/session_rig.h"

namespace velkora {
namespace {

using testing::frameBytes;
using testing::waitFor;
using Step = CalibrationStep;

// Runs one step over 40 frames of the given raw counts; the step's status afterwards.
StepStatus runStep(testing::ScriptedRig& c, Step step, int32_t weight, std::pair<int32_t, int32_t> (*raw)(int32_t)) {
  std::vector<std::pair<int32_t, int32_t>> frames;
  for (int32_t i = 0; i < kCalibrationSamples; ++i) frames.push_back(raw(i));
  c.plate.push(frameBytes(frames));
  EXPECT_EQ(c.rig.calibrationProcedure.go(step, weight, c.rig.settings), GoResult::Started);
  EXPECT_TRUE(waitFor([&] { return c.rig.calibrationRecording.sampleCount.load() == kCalibrationSamples; }));
  const CalibrationTick t = c.rig.calibrationProcedure.tick();
  EXPECT_TRUE(t.ended && t.progress == 0 && !c.rig.plate.running());
  return t.status;
}

TEST(CalibrationProcedure, OffsetMeansKeepTheirFractionAndWeightStepsGiveNewtonsPerCount) {
  testing::ScriptedRig c;
  CalibrationProcedure& d = c.rig.calibrationProcedure;
  d.open();
  ASSERT_EQ(runStep(c, Step::Offset, 0,
                    [](int32_t i) {
                      return std::pair{150 + i % 7, 2040 + i * 3 % 5};
                    }),
            StepStatus::Done);
  // Samples 10..29: vertical 150 + (3,4,5,6,0,1,2, ...) sums to 3061, horizontal to 40840.
  EXPECT_EQ(d.pending().offsetVertical, 153.05f);
  EXPECT_EQ(d.pending().offsetHorizontal, 2042.0f);
  EXPECT_FALSE(d.goEnabled(Step::Offset));
  EXPECT_TRUE(d.okEnabled());

  // 20 kg and a mean of 400 counts above the pending offsets (153, 2042 after truncation).
  ASSERT_EQ(runStep(c, Step::Vertical, 20, [](int32_t) { return std::pair{153 + 400, 2042}; }), StepStatus::Done);
  EXPECT_FLOAT_EQ(d.pending().coefficientVertical, 0.4905f);
  EXPECT_EQ(d.pending().coefficientVertical, static_cast<float>(20 * static_cast<double>(9.81f) / 400));
  EXPECT_FALSE(d.goEnabled(Step::Vertical));

  // A zero mean divides by nothing: the channel keeps the plate's coefficient.
  c.rig.calibration.coefficientHorizontal = 1.25f;
  ASSERT_EQ(runStep(c, Step::Horizontal, 20,
                    [](int32_t i) {
                      return std::pair{153, 2042 + (i % 2 ? 5 : -5)};
                    }),
            StepStatus::Done);
  EXPECT_EQ(d.pending().coefficientHorizontal, 1.25f);
  EXPECT_EQ(d.stepReached(), 2);

  // The sums hold every count a plate or file can give.
  for (int32_t value : {INT32_MAX, INT32_MIN}) {
    auto buffer = std::make_unique<SampleBuffer>();
    std::fill(std::begin(buffer->vertical), std::end(buffer->vertical), value);
    EXPECT_EQ(calibrationWindowSum(buffer->vertical), 20LL * value);
    EXPECT_EQ(offsetFromWindowSum(20LL * value), static_cast<float>(value));
    EXPECT_TRUE(std::isfinite(coefficientFromWindowSum(260, 20LL * value, 1.0f)));
  }
  EXPECT_TRUE(std::isfinite(coefficientFromWindowSum(260, 1, 1.0f)));
}

TEST(CalibrationProcedure, SilentPlateGivesUpOnTheFiftyFirstTick) {
  for (Step step : {Step::Offset, Step::Horizontal}) {
    testing::ScriptedRig c;  // the plate is there and sends nothing
    CalibrationProcedure& d = c.rig.calibrationProcedure;
    d.open();
    // The link gives up on a silent plate long before the step does; the step still waits its ticks.
    c.rig.plate.link().setSilenceLimit(std::chrono::milliseconds(20));
    ASSERT_EQ(d.go(step, 20, c.rig.settings), GoResult::Started);
    ASSERT_TRUE(waitFor([&] { return c.rig.plate.plateLost(); }));
    for (int32_t tick = 1; tick <= 50; ++tick) ASSERT_FALSE(d.tick().ended) << tick;
    EXPECT_TRUE(d.tick().ended);  // 51 ticks of 50 ms: 2.55 s
    EXPECT_EQ(d.statusText(step), "Error");
    EXPECT_FALSE(c.rig.plate.running());
    EXPECT_FALSE(d.okEnabled());
    EXPECT_EQ(d.goEnabled(step), step == Step::Offset) << "the Go buttons stay as they were";
  }
  // An unplugged plate ends the step at the next tick.
  testing::ScriptedRig c;
  CalibrationProcedure& d = c.rig.calibrationProcedure;
  d.open();
  ASSERT_EQ(d.go(Step::Offset, 0, c.rig.settings), GoResult::Started);
  c.plate.hangUp();
  ASSERT_TRUE(waitFor([&] { return c.rig.plate.plateLost(); }));
  const CalibrationTick t = d.tick();
  EXPECT_TRUE(t.ended) << "at once, not after the give-up ticks";
  EXPECT_EQ(d.statusText(Step::Offset), "Error");
}

TEST(CalibrationProcedure, OkAppliesExactlyTheStepsCompletedInThisOpeningAndCancelNothing) {
  testing::ScriptedRig c;
  CalibrationProcedure& d = c.rig.calibrationProcedure;
  CalibrationSet& plate = c.rig.calibration;
  const CalibrationSet original = plate;

  d.open();  // all three steps, then Cancel
  for (Step step : {Step::Offset, Step::Vertical, Step::Horizontal})
    ASSERT_EQ(runStep(c, step, 50, [](int32_t) { return std::pair{600, 2500}; }), StepStatus::Done);
  d.cancel();
  EXPECT_EQ(std::memcmp(&plate, &original, sizeof plate), 0);

  d.open();  // the vertical step alone, before any offset step: the earlier opening's results stay out
  ASSERT_EQ(runStep(c, Step::Vertical, 40, [](int32_t) { return std::pair{148 + 800, 2048}; }), StepStatus::Done);
  EXPECT_FALSE(d.ok(261)) << "a weight field out of range applies nothing";
  EXPECT_EQ(std::memcmp(&plate, &original, sizeof plate), 0);
  ASSERT_TRUE(d.ok(40));
  EXPECT_FLOAT_EQ(plate.coefficientVertical, 40 * 9.81f / 800);
  EXPECT_EQ(plate.coefficientHorizontal, original.coefficientHorizontal);
  EXPECT_EQ(plate.offsetVertical, original.offsetVertical);

  d.open();  // the offset step after a weight step: both apply
  ASSERT_EQ(runStep(c, Step::Horizontal, 50, [](int32_t) { return std::pair{148, 2048 + 250}; }), StepStatus::Done);
  ASSERT_EQ(runStep(c, Step::Offset, 0, [](int32_t) { return std::pair{151, 2045}; }), StepStatus::Done);
  ASSERT_TRUE(d.ok(50));
  EXPECT_FLOAT_EQ(plate.coefficientHorizontal, 50 * 9.81f / 250);
  EXPECT_FLOAT_EQ(plate.coefficientVertical, 40 * 9.81f / 800);
  EXPECT_EQ(plate.offsetVertical, 151.0f);
  EXPECT_EQ(plate.offsetHorizontal, 2045.0f);
}

TEST(CalibrationProcedure, GoRulesAndTheSimulatedPlate) {
  testing::SessionRig rig(",fast");
  CalibrationProcedure& d = rig.calibrationProcedure;
  rig.calibration = {
      .offsetVertical = 100, .offsetHorizontal = 2000, .coefficientVertical = 3, .coefficientHorizontal = 3};
  d.open();
  for (int32_t weight : {4, 261}) EXPECT_EQ(d.go(Step::Vertical, weight, rig.settings), GoResult::WeightOutOfRange);
  rig.simulation().unplug();
  EXPECT_EQ(d.go(Step::Offset, 0, rig.settings), GoResult::CommunicationError);
  EXPECT_EQ(d.status(Step::Offset), StepStatus::NotDone);
  rig.simulation().plugIn();
  // The simulated subject leaves the plate for the offset step and puts the entered mass on it for
  // the weight steps; the simulated plate's own scale is 1 N per count.
  for (auto [step, weight] : {std::pair{Step::Offset, 0}, {Step::Vertical, 35}, {Step::Horizontal, 35}}) {
    ASSERT_EQ(d.go(step, weight, rig.settings), GoResult::Started);
    if (step == Step::Offset) {
      EXPECT_EQ(d.go(Step::Horizontal, 35, rig.settings), GoResult::CommunicationError) << "the link is taken";
    }
    ASSERT_TRUE(waitFor([&] { return rig.calibrationRecording.sampleCount.load() >= kCalibrationSamples; }));
    ASSERT_TRUE(d.tick().ended);
  }
  ASSERT_TRUE(d.ok(35));
  EXPECT_NEAR(rig.calibration.offsetVertical, 148, 1);
  EXPECT_NEAR(rig.calibration.offsetHorizontal, 2048, 1);
  EXPECT_NEAR(rig.calibration.coefficientVertical, 1.0, 0.01);
  EXPECT_NEAR(rig.calibration.coefficientHorizontal, 1.0, 0.01);
}

}  // namespace
}  // namespace velkora
