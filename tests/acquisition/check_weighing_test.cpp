// The check readout and the body-weight measurement of the power test.

#include <gtest/gtest.h>

#include <clocale>

#include "acquisition/check_readout.h"
#include "acquisition/power_test.h"
#include "acquisition/session_rig.h"
#include "acquisition/weighing_session.h"

namespace velkora {
namespace {

using testing::BorrowedTransport;
using testing::FeedTransport;
using testing::frameBytes;
using testing::ScriptedFactory;
using testing::SessionRig;
using testing::waitFor;

TEST(CheckReadout, KilopondsInSixColumnsWithTheLocalesDecimalMark) {
  struct Case {
    int32_t count;
    float coefficient;
    const char* text;
  };
  for (const Case& c : {Case{10, 9.81f, "  10.0"},
                        {-5, 9.81f, "  -5.0"},
                        {0, 1.0f, "   0.0"},
                        {736, 1.0f, "  75.0"},
                        {4095, 50.0f, "20871.6"},
                        {-2048, 0.5f, "-104.4"}}) {
    EXPECT_EQ(formatKiloponds(c.count, c.coefficient), c.text) << c.count << " x " << c.coefficient;
  }
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
  EXPECT_EQ(formatKiloponds(10, 9.81f), "  10,0");
  std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(CheckReadout, ShowsTheStandingSubjectAndStopsTheLinkOnEveryWayOut) {
  SessionRig rig(",fast");
  SimulatedSubject subject;
  subject.mass = 90;
  ASSERT_TRUE(rig.simulation().setSubject(subject));
  ASSERT_TRUE(rig.check.open(rig.settings));
  ASSERT_TRUE(waitFor([&] { return rig.checkRecording.liveVertical.load() > 800; }));
  const CheckValues shown = rig.check.tick();
  EXPECT_NEAR(std::stod(shown.vertical), 90.0, 0.5);
  EXPECT_NEAR(std::stod(shown.horizontal), 0.0, 0.5);
  EXPECT_FALSE(shown.plateLost);
  EXPECT_EQ(rig.checkRecording.sampleCount.load(), 0) << "a live readout stores nothing";
  rig.check.close();
  EXPECT_FALSE(rig.plate.running());
  ASSERT_TRUE(rig.weighing.go(rig.settings)) << "a following power test can start";
  rig.weighing.cancel();

  // The plate pulled out while the readout runs: told once, the link stopped, the values kept.
  ASSERT_TRUE(rig.check.open(rig.settings));
  rig.simulation().unplug();
  ASSERT_TRUE(waitFor([&] { return rig.plate.plateLost(); }));
  const CheckValues lost = rig.check.tick();
  EXPECT_TRUE(lost.plateLost);
  EXPECT_FALSE(rig.plate.running());
  EXPECT_FALSE(rig.check.tick().plateLost);
  EXPECT_NEAR(std::stod(rig.check.tick().vertical), 90.0, 0.5);
  EXPECT_FALSE(rig.check.open(rig.settings)) << "unplugged: Error in communication";
}

struct ScriptedWeighing {
  ScriptedWeighing() {
    factory.makeUsb = [this] { return std::make_unique<BorrowedTransport>(plate); };
  }
  FeedTransport plate;
  ScriptedFactory factory;
  SessionRig rig{factory};
};

TEST(WeighingSession, GivesUpAfterFiveSecondsWithoutItsSamples) {
  ScriptedWeighing w;
  WeighingSession& weighing = w.rig.weighing;
  EXPECT_EQ(weighing.statusText(), "Not done");
  EXPECT_EQ(weighing.instruction(), "Stand on to the plate. Do not move.\nOperator click Go button.");
  EXPECT_FALSE(weighing.okEnabled());
  ASSERT_TRUE(weighing.go(w.rig.settings));
  EXPECT_EQ(weighing.statusText(), "In progress");
  EXPECT_FALSE(weighing.goEnabled());
  w.plate.push(frameBytes(std::vector<std::pair<int32_t, int32_t>>(1500, {148 + 700, 2048})));
  ASSERT_TRUE(waitFor([&] { return w.rig.weightRecording.sampleCount.load() == 1500; }));
  for (int32_t tick = 1; tick <= kWeighingGiveUpTicks; ++tick) {
    const WeighingTick t = weighing.tick();
    ASSERT_FALSE(t.ended) << tick;
    EXPECT_EQ(t.progress, 1500);
  }
  const WeighingTick t = weighing.tick();
  EXPECT_TRUE(t.ended);
  EXPECT_FALSE(t.plateLost);
  EXPECT_EQ(weighing.statusText(), "Error");
  EXPECT_TRUE(weighing.goEnabled());
  EXPECT_FALSE(weighing.okEnabled());
  EXPECT_FALSE(w.rig.plate.running());

  // Go again, and this time the plate delivers.
  ASSERT_TRUE(weighing.go(w.rig.settings));
  w.plate.push(frameBytes(std::vector<std::pair<int32_t, int32_t>>(kWeighingSamples, {148 + 981, 2048})));
  ASSERT_TRUE(waitFor([&] { return w.rig.weightRecording.sampleCount.load() == kWeighingSamples; }));
  const WeighingTick done = weighing.tick();
  EXPECT_TRUE(done.ended);
  EXPECT_EQ(weighing.statusText(), "Done");
  EXPECT_EQ(weighing.instruction(), "Press OK to start test");
  EXPECT_TRUE(weighing.okEnabled());
  EXPECT_FALSE(weighing.goEnabled()) << "one measurement per opening";
  EXPECT_FLOAT_EQ(weighing.bodyWeight(), 100.0f);
  EXPECT_FALSE(w.rig.plate.running());
}

TEST(WeighingSession, LostOrAbsentPlate) {
  ScriptedWeighing w;
  WeighingSession& weighing = w.rig.weighing;
  ASSERT_TRUE(weighing.go(w.rig.settings));
  w.plate.hangUp();
  ASSERT_TRUE(waitFor([&] { return w.rig.plate.plateLost(); }));
  const WeighingTick t = weighing.tick();
  EXPECT_TRUE(t.ended);
  EXPECT_TRUE(t.plateLost);
  EXPECT_EQ(weighing.status(), WeighingStatus::Error);
  EXPECT_TRUE(weighing.goEnabled());
  EXPECT_FALSE(w.rig.plate.running());

  SessionRig absent("absent");
  EXPECT_FALSE(absent.weighing.go(absent.settings));
  EXPECT_EQ(absent.weighing.status(), WeighingStatus::NotDone);
  EXPECT_TRUE(absent.weighing.goEnabled());

  // Cancel abandons a measurement in progress and stops the link.
  SessionRig standing("");
  ASSERT_TRUE(standing.weighing.go(standing.settings));
  standing.weighing.tick();
  standing.weighing.cancel();
  EXPECT_FALSE(standing.plate.running());
  EXPECT_EQ(standing.weighing.status(), WeighingStatus::NotDone);
}

}  // namespace
}  // namespace velkora
