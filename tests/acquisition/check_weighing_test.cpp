// The check readout and the body-weight measurement of the power test.

#include <gtest/gtest.h>

#include <clocale>

#include "acquisition/power_exercise.h"
#include "acquisition/session_rig.h"

namespace velkora {
namespace {

using testing::frameBytes;
using testing::waitFor;

TEST(CheckReadout, KilopondsOfTheStandingSubject) {
  for (auto [count, coefficient, text] :
       {std::tuple{10, 9.81f, "  10.0"}, {-5, 9.81f, "  -5.0"}, {736, 1.0f, "  75.0"}, {4095, 50.0f, "20871.6"}})
    EXPECT_EQ(formatKiloponds(count, coefficient), text);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    EXPECT_EQ(formatKiloponds(10, 9.81f), "  10,0");
    std::setlocale(LC_NUMERIC, "C");
  }

  testing::SessionRig rig(",fast");
  ASSERT_TRUE(rig.simulation().setSubject({.mass = 90}));
  ASSERT_TRUE(rig.check.open(rig.settings));
  ASSERT_TRUE(waitFor([&] { return rig.checkRecording.liveVertical.load() > 800; }));
  EXPECT_NEAR(std::stod(rig.check.tick().vertical), 90.0, 0.5);
  rig.simulation().unplug();
  ASSERT_TRUE(waitFor([&] { return rig.plate.plateLost(); }));
  EXPECT_TRUE(rig.check.tick().plateLost);
  EXPECT_FALSE(rig.plate.running()) << "the link stops with the loss";
  EXPECT_FALSE(rig.check.tick().plateLost) << "told once";
}

TEST(WeighingSession, GivesUpAfterFiveSecondsWithoutItsSamples) {
  testing::ScriptedRig w;
  WeighingSession& weighing = w.rig.weighing;
  EXPECT_EQ(weighing.statusText(), "Not done");
  ASSERT_TRUE(weighing.go(w.rig.settings));
  EXPECT_EQ(weighing.statusText(), "In progress");
  w.plate.push(frameBytes(std::vector<std::pair<int32_t, int32_t>>(1500, {148 + 700, 2048})));
  ASSERT_TRUE(waitFor([&] { return w.rig.weightRecording.sampleCount.load() == 1500; }));
  for (int32_t tick = 1; tick <= kWeighingGiveUpTicks; ++tick) ASSERT_EQ(weighing.tick().progress, 1500) << tick;
  EXPECT_TRUE(weighing.tick().ended);  // the 101st tick of 50 ms
  EXPECT_EQ(weighing.statusText(), "Error");
  EXPECT_TRUE(weighing.goEnabled());
  EXPECT_FALSE(weighing.okEnabled());
  EXPECT_FALSE(w.rig.plate.running());

  ASSERT_TRUE(weighing.go(w.rig.settings));  // again, and this time the plate delivers
  w.plate.push(frameBytes(std::vector<std::pair<int32_t, int32_t>>(kWeighingSamples, {148 + 981, 2048})));
  ASSERT_TRUE(waitFor([&] { return w.rig.weightRecording.sampleCount.load() == kWeighingSamples; }));
  EXPECT_TRUE(weighing.tick().ended);
  EXPECT_EQ(weighing.statusText(), "Done");
  EXPECT_EQ(weighing.instruction(), "Press OK to start test");
  EXPECT_TRUE(weighing.okEnabled() && !weighing.goEnabled());
  EXPECT_FLOAT_EQ(weighing.bodyWeight(), 100.0f);
  EXPECT_FALSE(w.rig.plate.running());
  weighing.open();  // the next opening measures afresh
  EXPECT_TRUE(weighing.goEnabled() && !weighing.okEnabled());

  // A plate that goes away ends the measurement the same way.
  testing::ScriptedRig lost;
  ASSERT_TRUE(lost.rig.weighing.go(lost.rig.settings));
  lost.plate.hangUp();
  ASSERT_TRUE(waitFor([&] { return lost.rig.plate.plateLost(); }));
  EXPECT_TRUE(lost.rig.weighing.tick().ended) << "at once, not after the give-up ticks";
  EXPECT_EQ(lost.rig.weighing.status(), WeighingStatus::Error);
  EXPECT_FALSE(lost.rig.plate.running());
}

}  // namespace
}  // namespace velkora
