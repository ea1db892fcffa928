#include "acquisition/simulated_subject.h"

#include <gtest/gtest.h>

#include <cmath>

#include "acquisition/session_rig.h"
#include "acquisition/simulated_plate.h"

namespace velkora {
namespace {

using namespace std::chrono;
using testing::SessionRig;

TEST(SimulatedSubject, FollowsWhatEachStartIsFor) {
  SimulatedSubject subject{.mass = 64, .pushCount = 7, .pushForce = 1600, .pushLength = 300, .flightTime = 520};
  struct Case {
    LinkPurpose purpose;
    ScenarioKind kind;
    double mass;
  };
  for (const Case& c : {Case{{LinkUse::CalibrationOffset}, ScenarioKind::Empty, 64},
                        {{LinkUse::CalibrationVertical, 35}, ScenarioKind::Mass, 35},
                        {{LinkUse::CalibrationHorizontal, 35}, ScenarioKind::HorizontalMass, 35},
                        {{LinkUse::CalibrationVertical}, ScenarioKind::Mass, kDefaultCalibrationMass},
                        {{LinkUse::CheckReadout}, ScenarioKind::Stand, 64},
                        {{LinkUse::Weighing}, ScenarioKind::Stand, 64},
                        {{LinkUse::ForceTest}, ScenarioKind::Pushes, 64},
                        {{LinkUse::PowerTest}, ScenarioKind::Jump, 64}}) {
    const Scenario s = subjectScenario(subject, c.purpose);
    EXPECT_EQ(s.kind, c.kind) << static_cast<int>(c.purpose.use);
    EXPECT_EQ(s.mass, c.mass) << static_cast<int>(c.purpose.use);
  }
  const Scenario pushes = subjectScenario(subject, {LinkUse::ForceTest});
  EXPECT_EQ(pushes.count, 7);
  EXPECT_EQ(pushes.peak, 1600);
  EXPECT_EQ(pushes.duration, 300);
  const Scenario jump = subjectScenario(subject, {LinkUse::PowerTest});
  EXPECT_EQ(jump.flight, 520);
  // The whole jump, landing included, fits into a power test of 3 s even with the longest flight.
  SimulatedSubject longest;
  longest.flightTime = kSubjectLimits.maxFlightTime;
  const SimulatedPlate plate(subjectScenario(longest, {LinkUse::PowerTest}));
  EXPECT_LT(plate.touchDownMs() + 200, 3000);
}

TEST(SimulatedSubject, SettingsOutsideTheirRangesAreRefused) {
  SessionRig rig(",fast");
  SimulatedTransportFactory& sim = rig.simulation();
  const SimulatedSubject good{.mass = 90, .pushCount = 2, .pushForce = 500, .pushLength = 200, .flightTime = 300};
  ASSERT_TRUE(sim.setSubject(good));
  SimulatedSubject bad[] = {good, good, good, good, good, good};
  bad[0].mass = 19.9;
  bad[1].mass = std::nan("");
  bad[2].pushCount = 0;
  bad[3].pushForce = 3901;
  bad[4].pushLength = 1;
  bad[5].flightTime = 1001;
  for (const SimulatedSubject& s : bad) EXPECT_FALSE(sim.setSubject(s));
  EXPECT_EQ(sim.subject().mass, 90) << "a refused setting changes nothing";
  sim.setPurpose({LinkUse::Weighing});
  EXPECT_EQ(sim.nextScenario().mass, 90);
}

TEST(SimulatedSubject, PlainSimulateFollowsThePurposeAndAScenarioListKeepsItsOrder) {
  SimulationPlan plan;
  std::string error;
  for (auto [text, follows, fast] : {std::tuple{"", true, false},
                                     {",fast", true, true},
                                     {"jump", false, false},
                                     {"stand/pushes,fast", false, true}}) {
    ASSERT_TRUE(parseSimulation(text, plan, error)) << text;
    EXPECT_EQ(plan.followsPurpose, follows) << text;
    EXPECT_EQ(plan.fast, fast) << text;
  }

  SystemTransportFactory none({.sysfsTtyRoot = "/nonexistent"});
  ASSERT_TRUE(parseSimulation("stand/empty,fast", plan, error));
  SimulatedTransportFactory listed(plan, none);
  listed.setPurpose({LinkUse::PowerTest});  // ignored: the list says what comes
  for (ScenarioKind expected : {ScenarioKind::Stand, ScenarioKind::Empty, ScenarioKind::Stand}) {
    auto transport = listed.usbTransport();
    EXPECT_EQ(static_cast<SimulatedPlateTransport&>(*transport).scenario().kind, expected);
  }

  ASSERT_TRUE(parseSimulation("", plan, error));
  SimulatedTransportFactory following(plan, none);
  EXPECT_EQ(following.nextScenario().kind, ScenarioKind::Jump) << "a start without a purpose plays the default";
  following.setPurpose({LinkUse::CalibrationOffset});
  EXPECT_EQ(following.nextScenario().kind, ScenarioKind::Empty);
}

TEST(SimulatedSubject, UnpluggingEndsTheRunningTransportAndPluggingInServesTheNextStart) {
  SystemTransportFactory none({.sysfsTtyRoot = "/nonexistent"});
  SimulationPlan plan;
  std::string error;
  ASSERT_TRUE(parseSimulation(",fast", plan, error));
  SimulatedTransportFactory sim(plan, none);
  sim.setPurpose({LinkUse::CheckReadout});
  auto running = sim.usbTransport();
  ASSERT_EQ(running->open(), TransportStatus::Ok);
  uint8_t buffer[64];
  EXPECT_EQ(running->read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Ok);

  sim.unplug();
  EXPECT_FALSE(sim.plugged());
  EXPECT_EQ(running->read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Disconnected);
  EXPECT_FALSE(sim.usbTransport()->probe());
  EXPECT_EQ(sim.usbTransport()->open(), TransportStatus::NoDevice);

  sim.plugIn();
  EXPECT_EQ(running->read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Disconnected)
      << "a link cut off stays cut off";
  auto next = sim.usbTransport();
  EXPECT_TRUE(next->probe());
  ASSERT_EQ(next->open(), TransportStatus::Ok);
  EXPECT_EQ(next->read(buffer, sizeof buffer, milliseconds(5)).status, TransportStatus::Ok);
}

}  // namespace
}  // namespace velkora
