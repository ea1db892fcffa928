#include "reports/jump_analysis.h"

#include <gtest/gtest.h>

#include <cmath>

#include "report_fixtures.h"
#include "reports/digital_reports.h"
#include "reports/test_metrics.h"
#include "support/designed_jump.h"

namespace velkora {
namespace {

using testing::makeStore;

// A 100 kg subject (981 N) stands for 1 s, unweights for 300 ms at 600 N, pushes for 700 ms at
// 1425 N, flies for 400 ms, lands for 400 ms at 1471 N and stands again. The push gives
// 0.7 × 444 − 0.3 × 381 = 196.5 N·s, i.e. 1.965 m/s; a flight of 0.4 s belongs to 1.962 m/s.
std::unique_ptr<MeasurementStore> physicalJump() {
  return makeStore({{1000, 981}, {300, 600}, {700, 1425}, {400, 0}, {400, 1471}, {1200, 981}}, TestKind::Power, 100.0f);
}

TEST(JumpAnalysis, SyntheticJumpMatchesThePhysics) {
  auto store = physicalJump();
  computeJumpResults(*store);
  ASSERT_TRUE(store->jump.analysed);
  EXPECT_EQ(store->jump.peakIndex, 1999);  // the end of the push

  const JumpHeights h = computeJumpHeights(*store, store->bodyWeight);
  EXPECT_EQ(h.unweightingStart, 1000);
  EXPECT_EQ(h.takeOffIndex, 2000);
  EXPECT_EQ(h.windowStart, 1000);
  EXPECT_EQ(h.touchDownIndex, 2400);
  EXPECT_EQ(h.flightTime, 400);

  const double g = 9.81;
  const double v = g * 0.4 / 2;  // take-off velocity of a 400 ms flight
  // Whole-newton counts over a 700 ms push allow 0.35 N·s, 3.5 mm/s on 100 kg.
  EXPECT_NEAR(h.takeOffVelocity, v, 0.005);
  EXPECT_NEAR(h.heightByImpulse, v * v / (2 * g), 0.001);
  EXPECT_NEAR(h.heightByFlightTime, 100 * g * 0.4 * 0.4 / 8, 1e-4);

  // The derived channels: velocity at take-off, a rise of v²/2g to the apex, and power F·v.
  const float vTakeOff = forceAt(*store, 1999, ForceChannel::Velocity);
  EXPECT_NEAR(vTakeOff, v, 0.01);
  EXPECT_NEAR(forceAt(*store, 2200, ForceChannel::Velocity), 0.0, 0.01);  // apex
  const float rise =
      forceAt(*store, 2200, ForceChannel::Displacement) - forceAt(*store, 2000, ForceChannel::Displacement);
  EXPECT_NEAR(rise, 100 * v * v / (2 * g), 0.5);  // centimetres
  EXPECT_NEAR(forceAt(*store, 1999, ForceChannel::Power), 1425 * vTakeOff, 1.0);
  // Standing still at the end: the momentum is back to zero.
  EXPECT_NEAR(forceAt(*store, 3999, ForceChannel::Velocity), 0.0, 0.01);
  EXPECT_NEAR(accelerationAt(*store, 1500), 444 / 100.0, 0.01);

  const PhaseExtremes e = computePhaseExtremes(*store);
  EXPECT_EQ(e.takeOffMaxForce, 1425.0f);
  EXPECT_EQ(e.touchDownMaxForce, 1471.0f);
  EXPECT_NEAR(e.takeOffMaxVelocity, v, 0.01);
  EXPECT_NEAR(e.takeOffMaxPower, 1425 * vTakeOff, 1.0);
  EXPECT_LT(e.takeOffMinDisplacement, -5.0f);  // the dip before the push
  EXPECT_LT(e.touchDownMinVelocity, -1.9f);    // falling onto the plate
  EXPECT_LT(e.touchDownMinPower, -2000.0f);    // braking
  EXPECT_NEAR(e.touchDownMaxDisplacement, forceAt(*store, 2200, ForceChannel::Displacement), 0.1);
}

TEST(JumpAnalysis, KinematicChannelsNeedAnAnalysedPowerTest) {
  auto store = physicalJump();
  EXPECT_EQ(forceAt(*store, 1999, ForceChannel::Velocity), 0.0f);  // not analysed yet
  computeJumpResults(*store);
  EXPECT_NE(forceAt(*store, 1999, ForceChannel::Velocity), 0.0f);
  EXPECT_EQ(forceAt(*store, 1999, ForceChannel::Vector), 1425.0f);  // channel 2 stays the force
  store->testKind = TestKind::Force;
  for (ForceChannel c : {ForceChannel::Velocity, ForceChannel::Displacement, ForceChannel::Power})
    EXPECT_EQ(forceAt(*store, 1999, c), 0.0f);
  EXPECT_EQ(accelerationAt(*store, 1999), 0.0f);
  store->testKind = TestKind::Power;
  store->resetForNewTest(CalibrationSet{}, 0);
  EXPECT_EQ(forceAt(*store, 1999, ForceChannel::Power), 0.0f);

  // An empty plate has no mass: no division by zero.
  auto empty = makeStore({{100, 0}});
  computeJumpResults(*empty);
  EXPECT_EQ(forceAt(*empty, 50, ForceChannel::Velocity), 0.0f);
  EXPECT_EQ(accelerationAt(*empty, 50), 0.0f);
}

TEST(JumpAnalysis, ImpulsePeak) {
  // Constant force: the impulse never rises above 0.
  auto flat = makeStore({{3000, 1000}});
  computeJumpResults(*flat);
  EXPECT_EQ(flat->jump.peakIndex, 0);
  for (int32_t k : {0, 1500, 2999}) EXPECT_EQ(flat->jump.impulse[k], 0.0f);

  // A step down at sample 1000 puts the peak on the last sample of the higher level.
  auto step = makeStore({{1000, 1000}, {2000, 500}});
  computeJumpResults(*step);
  EXPECT_EQ(step->jump.peakIndex, 999);

  // Empty recording: nothing written, peak 0, all extremes 0.
  auto none = makeStore({});
  none->jump.peakIndex = 77;
  none->jump.impulse[0] = 5.0f;
  computeJumpResults(*none);
  EXPECT_EQ(none->jump.peakIndex, 0);
  EXPECT_EQ(none->jump.impulse[0], 5.0f);
  const PhaseExtremes e = computePhaseExtremes(*none);
  EXPECT_EQ(e.takeOffMaxForce, 0.0f);
  EXPECT_EQ(e.touchDownMaxDisplacement, 0.0f);

  // With the peak at sample 0 the take-off phase is that one sample.
  auto early = makeStore({{1, 300}, {9, 100}});
  early->testKind = TestKind::Force;
  computeJumpResults(*early);
  const PhaseExtremes p = computePhaseExtremes(*early);
  EXPECT_EQ(p.takeOffMaxForce, 300.0f);
  EXPECT_EQ(p.touchDownMaxForce, 100.0f);
}

TEST(JumpAnalysis, UnweightingRunAndContactThresholds) {
  // W = 100 kg gives T = 931.95 N. Ten samples below it do not start the unweighting; later eleven do.
  // A lone 0 N sample before the unweighting is not the take-off: that search starts at the unweighting.
  auto ten =
      makeStore({{5, 981}, {1, 0}, {44, 981}, {10, 900}, {50, 981}, {11, 900}, {20, 981}, {5, 20}, {5, 21}, {10, 981}});
  JumpHeights h = computeJumpHeights(*ten, 100.0f);
  EXPECT_EQ(h.unweightingStart, 110);
  // Exactly 20 N is take-off; 21 N is touch-down, 20 N is not.
  EXPECT_EQ(h.takeOffIndex, 141);
  EXPECT_EQ(h.touchDownIndex, 146);
  EXPECT_EQ(h.flightTime, 5);

  // A contact force equal to the threshold is not below it and breaks the run.
  const float T = static_cast<float>(100.0f * 9.81 * 0.95);
  auto equal = makeStore({{10, 1}, {1, 1}, {10, 1}, {5, 0}});
  equal->calibration.coefficientVertical = T - 1;  // below the threshold...
  equal->channels.vertical[10] = 0;
  equal->channels.horizontal[10] = 1;
  equal->calibration.coefficientHorizontal = T;  // ...except sample 10, exactly on it
  h = computeJumpHeights(*equal, 100.0f);
  EXPECT_EQ(h.unweightingStart, 11);

  // The contact force is the plain sum of both channels: 15 + 10 is no take-off, 15 − 10 is.
  auto sum = makeStore({{20, 981}, {5, 15, 10}, {5, 15, -10}, {5, 981}});
  h = computeJumpHeights(*sum, 100.0f);
  EXPECT_EQ(h.takeOffIndex, 25);
}

TEST(JumpAnalysis, ImpulseWindowAndHeights) {
  // Take-off at 800: the window starts at 0 and is 800 long. 1231 N on 100 kg is 2.5 m/s² net.
  auto shortPush = makeStore({{800, 1231}, {500, 0}, {100, 981}});
  JumpHeights h = computeJumpHeights(*shortPush, 100.0f);
  EXPECT_EQ(h.takeOffIndex, 800);
  EXPECT_EQ(h.windowStart, 0);
  EXPECT_FLOAT_EQ(h.takeOffVelocity, 2.0f);
  EXPECT_EQ(h.flightTime, 500);
  EXPECT_FLOAT_EQ(h.heightByFlightTime, 30.65625f);

  // Take-off at 1500: the window is 500..1499, the 1000 samples of the push only.
  auto longPush = makeStore({{500, 500}, {1000, 1231}, {200, 0}, {10, 981}});
  h = computeJumpHeights(*longPush, 100.0f);
  EXPECT_EQ(h.windowStart, 500);
  EXPECT_FLOAT_EQ(h.takeOffVelocity, 2.5f);
  EXPECT_NEAR(h.heightByImpulse, 6.25 / 19.62, 1e-6);
}

TEST(JumpAnalysis, DegenerateRecordings) {
  // Ends in the air: the flight runs to the end of the recording.
  auto air = makeStore({{1200, 981}, {300, 0}});
  JumpHeights h = computeJumpHeights(*air, 100.0f);
  EXPECT_EQ(h.takeOffIndex, 1200);
  EXPECT_EQ(h.touchDownIndex, 1500);
  EXPECT_EQ(h.flightTime, 300);

  // Never at or below 20 N: take-off and touch-down at n, no flight, the window is the last 1000.
  auto ground = makeStore({{1500, 981}});
  h = computeJumpHeights(*ground, 100.0f);
  EXPECT_EQ(h.takeOffIndex, 1500);
  EXPECT_EQ(h.touchDownIndex, 1500);
  EXPECT_EQ(h.windowStart, 500);
  EXPECT_EQ(h.flightTime, 0);
  EXPECT_EQ(h.heightByFlightTime, 0.0f);
  auto shortGround = makeStore({{700, 981}});
  EXPECT_EQ(computeJumpHeights(*shortGround, 100.0f).windowStart, 0);

  // No body weight: no velocity instead of a division by zero; the flight time still counts.
  auto jump = physicalJump();
  h = computeJumpHeights(*jump, 0.0f);
  EXPECT_EQ(h.takeOffVelocity, 0.0f);
  EXPECT_EQ(h.heightByImpulse, 0.0f);
  EXPECT_EQ(h.flightTime, 400);

  // Take-off at the first sample leaves an empty window.
  auto atOnce = makeStore({{100, 0}, {100, 981}});
  h = computeJumpHeights(*atOnce, 100.0f);
  EXPECT_EQ(h.takeOffIndex, 0);
  EXPECT_EQ(h.takeOffVelocity, 0.0f);
  EXPECT_TRUE(std::isfinite(h.heightByImpulse));

  // A whole minute in the air does not overflow the flight-time square.
  auto minute = makeStore({{10, 981}, {60990, 0}});
  h = computeJumpHeights(*minute, 100.0f);
  EXPECT_EQ(h.flightTime, 60990);
  EXPECT_NEAR(h.heightByFlightTime, 1.22625 * 60990.0 * 60990.0 / 10000, 100.0);
  EXPECT_GT(h.heightByFlightTime, 0.0f);
}

TEST(JumpAnalysis, LongRecordingKeepsTheLiftNearTheJumpHeight) {
  // A jump in a full 61 s recording: the model does not drift with the length of the standing after it.
  testing::DesignedJump design;
  design.samples = kMaxSamples;
  const testing::JumpTruth truth = testing::jumpTruth(design);
  auto store = testing::designedStore(design);
  computeJumpResults(*store);
  ASSERT_TRUE(store->jump.hasModel);
  const TestMetrics metrics = computeTestMetrics(*store, TestKind::Power);
  auto metric = [&metrics](std::string_view key) {
    for (const Metric& m : metrics.whole)
      if (m.key == key) return m.value;
    return -1.0;
  };
  const double height = metric("jumpHeightTakeoffVelocity_cm");

  DigitalReport report;
  fillSummaryReport(*store, report);
  ASSERT_EQ(report.rows.cell(5, 0), "Center of gravity lift after take off:");
  const double lift = std::stod(std::string(report.rows.cell(5, 1)));
  EXPECT_NEAR(lift, height, 15.0);
  EXPECT_NEAR(lift, truth.takeoffHeightCm + truth.heightCm, 0.5) << "the apex above standing";
  EXPECT_NEAR(std::stod(std::string(report.rows.cell(4, 1))), -100 * design.depth, 0.3);

  // The channels and the metrics are one model: the same events and the same take-off velocity.
  const JumpPhases& phases = store->jump.phases;
  EXPECT_EQ(phases.onset, metric("onsetIndex"));
  EXPECT_EQ(phases.brakingStart, metric("brakingStartIndex"));
  EXPECT_EQ(phases.propulsionStart, metric("propulsionStartIndex"));
  EXPECT_EQ(phases.takeOff, metric("takeoffIndex"));
  EXPECT_EQ(phases.touchDown, metric("touchdownIndex"));
  EXPECT_GT(phases.landingEnd, phases.touchDown);
  EXPECT_LT(phases.landingEnd, truth.touchdown + design.landing * 1000 + 5);
  EXPECT_EQ(forceAt(*store, phases.takeOff, ForceChannel::Velocity), static_cast<float>(metric("takeoffVelocity_m_s")));
  // After the landing the subject stands still at the landing's height: no velocity, no power.
  EXPECT_EQ(forceAt(*store, 60000, ForceChannel::Velocity), 0.0f);
  EXPECT_EQ(forceAt(*store, 60000, ForceChannel::Power), 0.0f);
  EXPECT_EQ(forceAt(*store, 60000, ForceChannel::Displacement),
            forceAt(*store, phases.landingEnd, ForceChannel::Displacement));
  EXPECT_NEAR(accelerationAt(*store, phases.propulsionStart),
              (forceAt(*store, phases.propulsionStart, ForceChannel::Vertical) - metric("bodyWeight_N")) /
                  metric("bodyMass_kg"),
              1e-4);
}

}  // namespace
}  // namespace velkora
