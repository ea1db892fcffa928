#include "acquisition/calibration_procedure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "acquisition/session_rig.h"

namespace velkora {
namespace {

using testing::BorrowedTransport;
using testing::FeedTransport;
using testing::frameBytes;
using testing::ScriptedFactory;
using testing::SessionRig;
using testing::waitFor;
using Step = CalibrationStep;

// A dialog over a plate whose frames the test writes.
struct ScriptedCalibration {
  ScriptedCalibration() {
    factory.makeUsb = [this] { return std::make_unique<BorrowedTransport>(plate); };
  }
  // Runs one step over 40 frames of the given raw counts; the step's status afterwards.
  StepStatus run(Step step, int32_t weight, const std::function<std::pair<int32_t, int32_t>(int32_t)>& raw) {
    std::vector<std::pair<int32_t, int32_t>> frames;
    for (int32_t i = 0; i < kCalibrationSamples; ++i) frames.push_back(raw(i));
    plate.push(frameBytes(frames));
    EXPECT_EQ(dialog().go(step, weight, rig.settings), GoResult::Started);
    EXPECT_TRUE(waitFor([&] { return rig.calibrationRecording.sampleCount.load() == kCalibrationSamples; }));
    const CalibrationTick t = dialog().tick();
    EXPECT_TRUE(t.ended);
    EXPECT_EQ(t.progress, 0);
    EXPECT_FALSE(rig.plate.running()) << "the link stops with the step";
    return t.status;
  }
  CalibrationProcedure& dialog() { return rig.calibrationProcedure; }
  FeedTransport plate;
  ScriptedFactory factory;
  SessionRig rig{factory};
};

TEST(CalibrationProcedure, OffsetStepKeepsTheFractionOfTheMeans) {
  ScriptedCalibration c;
  c.dialog().open();
  auto raw = [](int32_t i) { return std::pair{150 + i % 7, 2040 + (i * 3) % 5}; };
  ASSERT_EQ(c.run(Step::Offset, 0, raw), StepStatus::Done);
  int64_t sumV = 0, sumH = 0;
  for (int32_t i = 10; i < 30; ++i) {
    sumV += raw(i).first;
    sumH += raw(i).second;
  }
  const auto meanV = static_cast<float>(sumV / 20.0);
  const auto meanH = static_cast<float>(sumH / 20.0);
  ASSERT_NE(meanV, std::floor(meanV)) << "the case needs a fraction";
  EXPECT_EQ(c.dialog().pending().offsetVertical, meanV);
  EXPECT_EQ(c.dialog().pending().offsetHorizontal, meanH);
  EXPECT_EQ(c.dialog().stepReached(), 0);
  // The offset step records raw counts: it subtracts nothing.
  EXPECT_EQ(c.rig.calibrationSamples->vertical[0], 150);

  const CalibrationSet before = c.rig.calibration;
  ASSERT_TRUE(c.dialog().ok(kDefaultCalibrationWeight));
  EXPECT_EQ(c.rig.calibration.offsetVertical, meanV);
  EXPECT_EQ(c.rig.calibration.offsetHorizontal, meanH);
  EXPECT_EQ(c.rig.calibration.coefficientVertical, before.coefficientVertical);
  EXPECT_EQ(c.rig.calibration.coefficientHorizontal, before.coefficientHorizontal);
}

TEST(CalibrationProcedure, WeightStepsGiveNewtonsPerCount) {
  ScriptedCalibration c;
  c.dialog().open();
  // 20 kg and a mean of 400 counts above the offsets (148, 2048): 20 × 9.81 / 400.
  ASSERT_EQ(c.run(Step::Vertical, 20, [](int32_t) { return std::pair{148 + 400, 2048}; }), StepStatus::Done);
  EXPECT_FLOAT_EQ(c.dialog().pending().coefficientVertical, 0.4905f);
  EXPECT_EQ(c.dialog().pending().coefficientVertical, static_cast<float>(20 * static_cast<double>(9.81f) / 400.0));
  EXPECT_EQ(c.rig.calibrationSamples->vertical[0], 400) << "the weight steps subtract the pending offsets";
  ASSERT_EQ(c.run(Step::Horizontal, 260, [](int32_t) { return std::pair{148, 2048 - 1000}; }), StepStatus::Done);
  EXPECT_FLOAT_EQ(c.dialog().pending().coefficientHorizontal, -260 * 9.81f / 1000);

  // A zero mean divides by nothing: the channel keeps the plate's coefficient.
  c.rig.calibration.coefficientVertical = 1.25f;
  c.dialog().open();
  ASSERT_EQ(c.run(Step::Vertical, 20,
                  [](int32_t i) {
                    return std::pair{148 + (i % 2 ? 5 : -5), 2048};
                  }),
            StepStatus::Done);
  EXPECT_EQ(c.dialog().pending().coefficientVertical, 1.25f);
}

TEST(CalibrationProcedure, ArithmeticStaysDefinedForEveryCount) {
  auto buffer = std::make_unique<SampleBuffer>();
  struct Case {
    int32_t value;
    int64_t sum;
  };
  for (const Case& c : {Case{INT32_MAX, 20LL * INT32_MAX}, {INT32_MIN, 20LL * INT32_MIN}, {4095, 81900}, {0, 0}}) {
    std::fill(std::begin(buffer->vertical), std::end(buffer->vertical), c.value);
    EXPECT_EQ(calibrationWindowSum(buffer->vertical), c.sum);
    EXPECT_EQ(offsetFromWindowSum(c.sum), static_cast<float>(c.value));
    const float coefficient = coefficientFromWindowSum(260, c.sum, 3.0f);
    EXPECT_TRUE(std::isfinite(coefficient)) << c.value;
  }
  // The smallest mean that is not zero, and the sign of a mean below zero.
  EXPECT_FLOAT_EQ(coefficientFromWindowSum(260, 1, 3.0f), static_cast<float>(260 * static_cast<double>(9.81f) / 0.05f));
  EXPECT_LT(coefficientFromWindowSum(5, -20, 3.0f), 0.0f);
  EXPECT_EQ(coefficientFromWindowSum(5, 0, 3.0f), 3.0f);
}

TEST(CalibrationProcedure, SilentPlateGivesUpOnTheFiftyFirstTick) {
  for (Step step : {Step::Offset, Step::Horizontal}) {
    ScriptedCalibration c;  // the plate is there and sends nothing
    c.dialog().open();
    ASSERT_EQ(c.dialog().go(step, 20, c.rig.settings), GoResult::Started);
    EXPECT_EQ(c.dialog().status(step), StepStatus::InProgress);
    for (int32_t tick = 1; tick <= 50; ++tick) {
      const CalibrationTick t = c.dialog().tick();
      ASSERT_FALSE(t.ended) << tick;
      EXPECT_EQ(t.progress, 0);
    }
    const CalibrationTick t = c.dialog().tick();
    EXPECT_TRUE(t.ended);
    EXPECT_FALSE(t.plateLost);
    EXPECT_EQ(c.dialog().status(step), StepStatus::Error);
    EXPECT_EQ(c.dialog().statusText(step), "Error");
    EXPECT_EQ(c.dialog().tickCount(), 51);  // 2.55 s at 50 ms
    EXPECT_FALSE(c.rig.plate.running());
    EXPECT_FALSE(c.dialog().okEnabled());
    // The Go buttons stay as they are: the offset step may run again, a weight step may not.
    EXPECT_EQ(c.dialog().goEnabled(step), step == Step::Offset);
    EXPECT_FALSE(c.dialog().tick().ended) << "no step runs any more";
  }
}

TEST(CalibrationProcedure, LostOrAbsentPlate) {
  ScriptedCalibration c;
  c.dialog().open();
  ASSERT_EQ(c.dialog().go(Step::Vertical, 20, c.rig.settings), GoResult::Started);
  c.plate.push(frameBytes({{600, 2048}, {600, 2048}}));
  c.plate.hangUp();
  ASSERT_TRUE(waitFor([&] { return c.rig.plate.plateLost(); }));
  const CalibrationTick t = c.dialog().tick();
  EXPECT_TRUE(t.ended);
  EXPECT_TRUE(t.plateLost);
  EXPECT_EQ(c.dialog().status(Step::Vertical), StepStatus::Error);
  EXPECT_EQ(c.dialog().pending().coefficientVertical, 0.0f) << "nothing computed from two samples";

  SessionRig absent("absent");
  absent.calibrationProcedure.open();
  EXPECT_EQ(absent.calibrationProcedure.go(Step::Offset, 0, absent.settings), GoResult::CommunicationError);
  EXPECT_EQ(absent.calibrationProcedure.status(Step::Offset), StepStatus::NotDone);
  EXPECT_TRUE(absent.calibrationProcedure.goEnabled(Step::Offset));
  EXPECT_FALSE(absent.plate.running());
}

TEST(CalibrationProcedure, GoRulesAndButtons) {
  ScriptedCalibration c;
  CalibrationProcedure& d = c.dialog();
  d.open();
  for (int32_t weight : {4, 261, 0, -5}) {
    EXPECT_EQ(d.go(Step::Vertical, weight, c.rig.settings), GoResult::WeightOutOfRange) << weight;
    EXPECT_EQ(d.status(Step::Vertical), StepStatus::NotDone);
  }
  EXPECT_FALSE(c.rig.plate.running());
  // While one step runs, another cannot start: the link is taken.
  ASSERT_EQ(d.go(Step::Offset, 4, c.rig.settings), GoResult::Started) << "the offset step reads no weight";
  EXPECT_EQ(d.go(Step::Horizontal, 5, c.rig.settings), GoResult::CommunicationError);
  EXPECT_EQ(d.status(Step::Horizontal), StepStatus::NotDone);
  EXPECT_TRUE(d.goEnabled(Step::Horizontal));
  d.cancel();
  EXPECT_FALSE(c.rig.plate.running());

  d.open();
  ASSERT_EQ(c.run(Step::Offset, 0, [](int32_t) { return std::pair{148, 2048}; }), StepStatus::Done);
  EXPECT_FALSE(d.goEnabled(Step::Offset));
  EXPECT_TRUE(d.goEnabled(Step::Vertical));
  EXPECT_TRUE(d.okEnabled());
  EXPECT_EQ(d.go(Step::Offset, 0, c.rig.settings), GoResult::NotOffered);
  ASSERT_EQ(c.run(Step::Vertical, 260, [](int32_t) { return std::pair{400, 2048}; }), StepStatus::Done);
  EXPECT_FALSE(d.goEnabled(Step::Vertical));
  EXPECT_TRUE(d.goEnabled(Step::Horizontal));
  ASSERT_EQ(c.run(Step::Horizontal, 5, [](int32_t) { return std::pair{148, 2100}; }), StepStatus::Done);
  EXPECT_EQ(d.stepReached(), 2);
  for (Step s : {Step::Offset, Step::Vertical, Step::Horizontal}) EXPECT_EQ(d.statusText(s), "Done");

  // Cancel after all three steps changes nothing; OK with a bad weight field neither.
  const CalibrationSet before = c.rig.calibration;
  EXPECT_FALSE(d.ok(261));
  d.cancel();
  EXPECT_EQ(std::memcmp(&before, &c.rig.calibration, sizeof before), 0);
}

TEST(CalibrationProcedure, OkAppliesExactlyTheStepsCompletedInThisOpening) {
  ScriptedCalibration c;
  CalibrationProcedure& d = c.dialog();
  const CalibrationSet plate = c.rig.calibration;

  // First opening: the horizontal step alone, then Cancel.
  d.open();
  ASSERT_EQ(c.run(Step::Horizontal, 50, [](int32_t) { return std::pair{148, 2048 + 500}; }), StepStatus::Done);
  d.cancel();
  EXPECT_EQ(std::memcmp(&plate, &c.rig.calibration, sizeof plate), 0);

  // Second opening: the vertical step before the offset step; the horizontal result of the first
  // opening is not applied.
  d.open();
  ASSERT_EQ(c.run(Step::Vertical, 40, [](int32_t) { return std::pair{148 + 800, 2048}; }), StepStatus::Done);
  ASSERT_TRUE(d.ok(40));
  EXPECT_FLOAT_EQ(c.rig.calibration.coefficientVertical, 40 * 9.81f / 800);
  EXPECT_EQ(c.rig.calibration.coefficientHorizontal, plate.coefficientHorizontal);
  EXPECT_EQ(c.rig.calibration.offsetVertical, plate.offsetVertical);
  EXPECT_EQ(c.rig.calibration.offsetHorizontal, plate.offsetHorizontal);

  // Third opening: the offset step after a weight step; both apply.
  d.open();
  ASSERT_EQ(c.run(Step::Horizontal, 50, [](int32_t) { return std::pair{148, 2048 + 250}; }), StepStatus::Done);
  ASSERT_EQ(c.run(Step::Offset, 0, [](int32_t) { return std::pair{151, 2045}; }), StepStatus::Done);
  ASSERT_TRUE(d.ok(50));
  EXPECT_FLOAT_EQ(c.rig.calibration.coefficientHorizontal, 50 * 9.81f / 250);
  EXPECT_FLOAT_EQ(c.rig.calibration.coefficientVertical, 40 * 9.81f / 800);
  EXPECT_EQ(c.rig.calibration.offsetVertical, 151.0f);
  EXPECT_EQ(c.rig.calibration.offsetHorizontal, 2045.0f);
}

TEST(CalibrationProcedure, SimulatedPlateCalibratesItself) {
  // The subject leaves the plate for the offset step and puts the entered mass on it for the weight
  // steps; the plate's own scale is 1 N per count.
  SessionRig rig(",fast");
  rig.calibration = {
      .offsetVertical = 100, .offsetHorizontal = 2000, .coefficientVertical = 3, .coefficientHorizontal = 3};
  CalibrationProcedure& d = rig.calibrationProcedure;
  d.open();
  for (auto [step, weight] : {std::pair{Step::Offset, 0}, {Step::Vertical, 35}, {Step::Horizontal, 35}}) {
    ASSERT_EQ(d.go(step, weight, rig.settings), GoResult::Started);
    ASSERT_TRUE(waitFor([&] { return rig.calibrationRecording.sampleCount.load() >= kCalibrationSamples; }));
    ASSERT_TRUE(d.tick().ended);
    ASSERT_EQ(d.status(step), StepStatus::Done);
  }
  ASSERT_TRUE(d.ok(35));
  EXPECT_NEAR(rig.calibration.offsetVertical, 148, 1);
  EXPECT_NEAR(rig.calibration.offsetHorizontal, 2048, 1);
  EXPECT_NEAR(rig.calibration.coefficientVertical, 1.0, 0.01);
  EXPECT_NEAR(rig.calibration.coefficientHorizontal, 1.0, 0.01);
}

}  // namespace
}  // namespace velkora
