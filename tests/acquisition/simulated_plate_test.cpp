#include "acquisition/simulated_plate.h"

#include <gtest/gtest.h>

#include <chrono>

#include "acquisition/link_fakes.h"
#include "acquisition/plate_devices.h"
#include "acquisition/power_exercise.h"

namespace velkora {
namespace {

using namespace std::chrono;
using testing::LinkRig;
using testing::waitFor;

SimulationPlan plan(std::string_view text) {
  SimulationPlan p;
  std::string error;
  EXPECT_TRUE(parseSimulation(text, p, error)) << text << ": " << error;
  return p;
}

// A link whose USB plate is the simulation, as under --simulate, with the plate's default offsets.
struct SimRig {
  explicit SimRig(std::string_view scenario, PlateModel model = {})
      : factory(plan(scenario), serial, model), rig(factory) {
    rig.rec().prepare(0, RecordingMode::Timed, 0, rig.calibration);
  }
  // Runs the test recording until it stops by itself.
  void record(RecordingMode mode, int32_t limit, bool waitForStart = false, int32_t threshold = 0) {
    Recording& r = rig.rec();
    r.prepare(0, mode, limit, rig.calibration, waitForStart, threshold);
    rig.store->resetForNewTest(rig.calibration, 0);
    ASSERT_TRUE(rig.link.startLink(r));
    ASSERT_TRUE(waitFor([&] { return r.stopped.load() == 1; }));
    rig.link.stopLink();
  }
  float contactForce(int32_t i) {
    return forceAt(*rig.store, i, ForceChannel::Vertical) + forceAt(*rig.store, i, ForceChannel::Horizontal);
  }
  SystemTransportFactory serial;
  SimulatedTransportFactory factory;
  LinkRig rig;
};

TEST(SimulatedPlate, ScenarioSyntax) {
  SimulationPlan p = plan("");
  ASSERT_EQ(p.scenarios.size(), 1u);
  EXPECT_EQ(p.scenarios[0].kind, ScenarioKind::Jump);
  EXPECT_FALSE(p.fast);

  p = plan("stand:80.5/pushes:5:1200:400:-50:700/jump:90:500:3000,fast");
  ASSERT_EQ(p.scenarios.size(), 3u);
  EXPECT_TRUE(p.fast);
  EXPECT_EQ(p.scenarios[0].kind, ScenarioKind::Stand);
  EXPECT_DOUBLE_EQ(p.scenarios[0].mass, 80.5);
  const Scenario& push = p.scenarios[1];
  EXPECT_EQ(push.count, 5);
  EXPECT_DOUBLE_EQ(push.peak, 1200);
  EXPECT_EQ(push.duration, 400);
  EXPECT_DOUBLE_EQ(push.horizontal, -50);
  EXPECT_EQ(push.pause, 700);
  EXPECT_EQ(p.scenarios[2].flight, 500);
  EXPECT_EQ(p.scenarios[2].quiet, 3000);

  p = plan("calibration:25");
  ASSERT_EQ(p.scenarios.size(), 3u);
  EXPECT_EQ(p.scenarios[0].kind, ScenarioKind::Empty);
  EXPECT_EQ(p.scenarios[1].kind, ScenarioKind::Mass);
  EXPECT_EQ(p.scenarios[2].kind, ScenarioKind::HorizontalMass);
  EXPECT_DOUBLE_EQ(p.scenarios[2].mass, 25);

  for (const char* bad : {"dance", "stand:", "stand:abc", "stand:0", "pushes:2.5", "pushes:1:2:3:4:5:6", "jump//empty",
                          "empty:1", "unplug:-1", "stand,slow"}) {
    SimulationPlan untouched = plan("stand");
    std::string error;
    EXPECT_FALSE(parseSimulation(bad, untouched, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
    EXPECT_EQ(untouched.scenarios[0].kind, ScenarioKind::Stand) << "a failed parse keeps the plan";
  }
}

TEST(SimulatedPlate, TimedRecordingOfTwoSecondsStoresExactly2000Samples) {
  SimRig t("stand:75,fast");
  t.record(RecordingMode::Timed, 2000);
  EXPECT_EQ(t.rig.rec().sampleCount.load(), 2000);
  // A standing subject weighs what the scenario says, through the plate's offsets and noise.
  for (int32_t i = 0; i < 2000; i += 97) EXPECT_NEAR(forceAt(*t.rig.store, i, ForceChannel::Vertical), 735.75, 6.0);
  // The weighing of the power test records 2020 samples of the same subject.
  t.record(RecordingMode::Timed, kWeighingSamples);
  EXPECT_NEAR(bodyWeightFromSamples(t.rig.store->channels, 1.0f), 75.0f, 0.1f);
}

TEST(SimulatedPlate, PushesInRepetitionModeGiveTheirPeaks) {
  for (int32_t noise : {0, 1}) {
    SimRig t("pushes:3:900:300:120:500,fast", {.noiseCounts = noise});
    t.record(RecordingMode::Repetitions, 3, true, 20);
    const RepetitionTable& reps = t.rig.store->repetitions;
    ASSERT_EQ(reps.count.load(), 3) << "noise " << noise;
    for (int32_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(reps.peakVertical[k], 900, noise) << k;
      EXPECT_NEAR(reps.peakHorizontal[k], 120, noise) << k;
      // The mean of a half sine above the threshold is a little under 2/pi of its peak.
      EXPECT_NEAR(reps.meanVertical[k], 900 * 2 / 3.14159, 40) << k;
    }
    // The recording ends one frame after the third push has fallen to the threshold.
    const int32_t n = t.rig.rec().sampleCount.load();
    EXPECT_LE(t.rig.store->channels.vertical[n - 1], kRepetitionThreshold);
    EXPECT_GT(t.rig.store->channels.vertical[n - 2], kRepetitionThreshold);
  }
}

TEST(SimulatedPlate, JumpFlightLastsTheConfiguredTimeAndMatchesTheTakeOffImpulse) {
  for (int32_t flight : {300, 450, 617}) {
    SimRig t("jump:80:" + std::to_string(flight) + ":2500,fast");
    t.record(RecordingMode::Timed, 5000);
    ASSERT_EQ(t.rig.rec().sampleCount.load(), 5000);
    int32_t takeOff = -1;
    int32_t touchDown = -1;
    for (int32_t i = 0; i < 5000; ++i) {
      const bool inAir = t.contactForce(i) < 20.0f;
      if (inAir && takeOff < 0) takeOff = i;
      if (!inAir && takeOff >= 0 && touchDown < 0) touchDown = i;
    }
    ASSERT_GT(takeOff, 2500);
    ASSERT_GT(touchDown, takeOff);
    EXPECT_NEAR(touchDown - takeOff, flight, 1);
    // Newton: the net impulse up to take-off gives the speed that keeps the body in the air that long.
    // The contact force (both channels) is what the jump analysis integrates.
    const double weight = 80 * kSimulatedGravity;
    double impulse = 0.0;
    for (int32_t i = 0; i < takeOff; ++i) impulse += t.contactForce(i) - weight;
    const double speed = impulse / 1000.0 / 80.0;
    EXPECT_NEAR(speed, kSimulatedGravity * flight / 2000.0, 0.02) << flight;
    // Landing and standing after it load the plate again.
    EXPECT_GT(t.contactForce(touchDown + 100), weight);
    EXPECT_NEAR(t.contactForce(4999), weight, 8.0);
  }
}

TEST(SimulatedPlate, CalibrationStepsUnplugAndAbsentPlate) {
  SimRig t("calibration:20/unplug:700/absent,fast");
  Recording& r = t.rig.rec();
  const double massForce = 20 * kSimulatedGravity;
  // Offsets of the unloaded plate, then the mass on each channel, one step per link start.
  t.record(RecordingMode::Timed, 40);
  EXPECT_NEAR(t.rig.store->channels.vertical[20], 0, 1);
  EXPECT_NEAR(t.rig.store->channels.horizontal[20], 0, 1);
  t.record(RecordingMode::Timed, 40);
  EXPECT_NEAR(t.rig.store->channels.vertical[20], massForce, 1.5);
  EXPECT_NEAR(t.rig.store->channels.horizontal[20], 0, 1);
  t.record(RecordingMode::Timed, 40);
  EXPECT_NEAR(t.rig.store->channels.vertical[20], 0, 1);
  EXPECT_NEAR(t.rig.store->channels.horizontal[20], massForce, 1.5);

  // The plate goes away after 700 frames: the reader ends and the samples stay.
  r.prepare(0, RecordingMode::Timed, 5000, t.rig.calibration);
  ASSERT_TRUE(t.rig.link.startLink(r));
  ASSERT_TRUE(waitFor([&] { return t.rig.link.plateLost(); }));
  EXPECT_EQ(t.rig.link.lossStatus(), TransportStatus::Disconnected);
  EXPECT_EQ(r.sampleCount.load(), 700);
  EXPECT_EQ(r.stopped.load(), 0);
  t.rig.link.stopLink();

  EXPECT_FALSE(t.rig.link.startLink(r)) << "no plate";
  EXPECT_FALSE(t.rig.link.running());
}

TEST(SimulatedPlate, RealTimeDeliversOneFramePerMillisecond) {
  Scenario stand;
  stand.kind = ScenarioKind::Stand;
  SimulatedPlateTransport plate(stand, SimulationClock::RealTime);
  ASSERT_EQ(plate.open(), TransportStatus::Ok);
  const auto start = steady_clock::now();
  std::vector<uint8_t> buffer(16384);
  size_t bytes = 0;
  int reads = 0;
  while (steady_clock::now() - start < milliseconds(300)) {
    const ReadResult got = plate.read(buffer.data(), buffer.size(), milliseconds(20));
    ASSERT_NE(got.status, TransportStatus::Disconnected);
    bytes += got.count;
    ++reads;
  }
  const double elapsed = duration<double, std::milli>(steady_clock::now() - start).count();
  EXPECT_EQ(bytes % 4, 0u);
  EXPECT_LE(static_cast<double>(bytes / 4), elapsed + 1.0) << "never ahead of the clock";
  EXPECT_GE(static_cast<double>(bytes / 4), elapsed - 60.0);
  EXPECT_LE(reads, 100) << "chunks of about 10 ms, not a busy loop";

  Scenario silent;
  silent.kind = ScenarioKind::Silent;
  SimulatedPlateTransport quiet(silent, SimulationClock::Test);
  ASSERT_EQ(quiet.open(), TransportStatus::Ok);
  EXPECT_EQ(quiet.read(buffer.data(), buffer.size(), milliseconds(5)).status, TransportStatus::Timeout);
}

}  // namespace
}  // namespace velkora

namespace velkora {
namespace {

TEST(SimulatedPlate, PlainSimulateFollowsThePurposeAndUnpluggingCutsTheRunningTransport) {
  SystemTransportFactory none({.sysfsTtyRoot = "/nonexistent"});
  SimulatedTransportFactory listed(plan("stand/empty,fast"), none);
  listed.setPurpose({LinkUse::PowerTest});  // a scenario list ignores the purpose
  for (ScenarioKind kind : {ScenarioKind::Stand, ScenarioKind::Empty, ScenarioKind::Stand})
    EXPECT_EQ(static_cast<SimulatedPlateTransport&>(*listed.usbTransport()).scenario().kind, kind);

  SimulatedTransportFactory sim(plan(",fast"), none);
  EXPECT_TRUE(sim.plan().followsPurpose);
  EXPECT_EQ(sim.nextScenario().kind, ScenarioKind::Jump) << "without a purpose: the default";
  EXPECT_FALSE(sim.setSubject({.mass = 19}));
  EXPECT_FALSE(sim.setSubject({.flightTime = 1001}));
  ASSERT_TRUE(sim.setSubject({.mass = 64, .flightTime = 1000}));
  sim.setPurpose({LinkUse::PowerTest});
  const Scenario jump = sim.nextScenario();
  EXPECT_EQ(jump.kind, ScenarioKind::Jump);
  EXPECT_EQ(jump.mass, 64);
  EXPECT_LT(SimulatedPlate(jump).touchDownMs() + 200, 3000) << "the longest jump lands within a 3 s test";

  sim.setPurpose({LinkUse::CheckReadout});
  auto running = sim.usbTransport();
  ASSERT_EQ(running->open(), TransportStatus::Ok);
  uint8_t buffer[64];
  EXPECT_EQ(running->read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Ok);
  sim.unplug();
  EXPECT_EQ(running->read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Disconnected);
  EXPECT_FALSE(sim.usbTransport()->probe());
  sim.plugIn();
  EXPECT_EQ(running->read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Disconnected)
      << "a link cut off stays cut off";
  auto next = sim.usbTransport();
  ASSERT_EQ(next->open(), TransportStatus::Ok);
  EXPECT_EQ(next->read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Ok);
}

}  // namespace
}  // namespace velkora
