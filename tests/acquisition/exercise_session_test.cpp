#include "acquisition/exercise_session.h"

#include <gtest/gtest.h>

#include "acquisition/exercise_limits.h"
#include "acquisition/session_rig.h"
#include "acquisition/simulated_plate.h"
#include "reports/jump_analysis.h"
#include "storage/measurement_file.h"

namespace velkora {
namespace {

using namespace std::chrono;
using testing::SessionRig;
using testing::tickUntilEnd;
using testing::waitFor;

AppSettings force(int32_t mode, int32_t value, int32_t startForce = 20) {
  return {.forceTestValue = value, .startForce = startForce, .forceTestMode = mode};
}

// Everything a failed start must leave as it was, as one string of bytes.
std::string storeImage(const MeasurementStore& s) {
  std::string image(reinterpret_cast<const char*>(&s.channels), sizeof s.channels);
  auto add = [&](const auto& v) { image.append(reinterpret_cast<const char*>(&v), sizeof v); };
  add(s.sampleCount.load());
  add(s.testTime);
  add(s.calibration);
  add(s.repetitions.count.load());
  add(s.repetitions.peakVertical);
  add(s.bodyWeight);
  add(s.testKind);
  add(s.recordingAvailable.load());
  add(s.saved.load());
  add(s.jump.analysed);
  return image;
}

TEST(ExerciseSession, TimeModeRecordsExactlyItsSecondsFromTheFrameAfterTheStartForce) {
  SessionRig rig(",fast");
  ASSERT_EQ(rig.test.startForceTest(force(kTimeMode, 2)), StartResult::Started);
  int32_t drawn = 0;
  ASSERT_EQ(tickUntilEnd(rig.test, milliseconds(1),
                         [&](const TestTick& t) {
                           EXPECT_EQ(t.drawFrom, drawn) << "segments continue where the last tick stopped";
                           drawn = std::max(drawn, t.drawTo);
                         }),
            TestEnd::Finished);
  const MeasurementStore& s = *rig.store;
  EXPECT_EQ(drawn, 1999);
  EXPECT_EQ(s.sampleCount.load(), 2000);
  EXPECT_EQ(s.recordingAvailable.load(), 1);
  EXPECT_EQ(s.saved.load(), 0);
  EXPECT_EQ(s.testKind, TestKind::Force);
  EXPECT_EQ(s.testTime, 1700000000);
  EXPECT_FALSE(rig.plate.running());

  // The subject's pushes frame by frame: sample 0 is the frame after the first whose force reaches
  // 20 N, and the 2000 samples follow without a gap.
  const SimulatedPlate plate(subjectScenario(SimulatedSubject{}, {LinkUse::ForceTest}));
  int64_t ms = 0;
  int32_t v = 0, h = 0;
  for (plate.counts(ms, v, h); (v - 148) + (h - 2048) < 20; plate.counts(++ms, v, h)) {
  }
  for (int32_t i = 0; i < 2000; ++i) {
    plate.counts(ms + 1 + i, v, h);
    ASSERT_EQ(s.channels.vertical[i], v - 148) << i;
    ASSERT_EQ(s.channels.horizontal[i], h - 2048) << i;
  }
}

TEST(ExerciseSession, RepetitionModeEndsOneFrameAfterTheLastRepetition) {
  SessionRig rig(",fast");
  ASSERT_TRUE(rig.simulation().setSubject({.pushCount = 5, .pushForce = 900}));
  rig.store->repetitions.count = 25;  // an earlier test's: the new one counts from 0
  ASSERT_EQ(rig.test.startForceTest(force(kRepetitionMode, 3)), StartResult::Started);
  TestTick last;
  ASSERT_EQ(tickUntilEnd(rig.test, milliseconds(1), [&](const TestTick& t) { last = t; }), TestEnd::Finished);
  const MeasurementStore& s = *rig.store;
  ASSERT_EQ(s.repetitions.count.load(), 3);
  EXPECT_EQ(last.repetitionsDrawn, 3);
  const int32_t n = s.sampleCount.load();
  EXPECT_LE(s.channels.vertical[n - 1], kRepetitionThreshold);
  EXPECT_GT(s.channels.vertical[n - 2], kRepetitionThreshold);
  for (int32_t k = 0; k < 3; ++k) EXPECT_NEAR(s.repetitions.peakVertical[k], 900, 1) << k;
  EXPECT_EQ(s.saved.load(), 0);
}

// The simulated subject pushes as often as the test asks, whatever number of pushes is set for tests
// by time: every target ends the test with that many repetitions.
TEST(ExerciseSession, SimulatedSubjectGivesTheRepetitionsTheTestAsksFor) {
  for (const int32_t target : {1, 8, 25}) {
    SCOPED_TRACE(target);
    SessionRig rig(",fast");
    ASSERT_TRUE(rig.simulation().setSubject({.pushCount = 2}));
    ASSERT_EQ(rig.test.startForceTest(force(kRepetitionMode, target)), StartResult::Started);
    ASSERT_EQ(tickUntilEnd(rig.test), TestEnd::Finished);
    EXPECT_EQ(rig.store->repetitions.count.load(), target);
  }
  // A test by time gets the pushes that are set.
  SessionRig rig(",fast");
  ASSERT_TRUE(rig.simulation().setSubject({.pushCount = 2, .pushLength = 200}));
  ASSERT_EQ(rig.test.startForceTest(force(kTimeMode, 5, 0)), StartResult::Started);
  ASSERT_EQ(tickUntilEnd(rig.test), TestEnd::Finished);
  int32_t pushes = 0;
  for (int32_t i = 1; i < rig.store->sampleCount.load(); ++i)
    pushes += rig.store->channels.vertical[i] > kRepetitionThreshold &&
              rig.store->channels.vertical[i - 1] <= kRepetitionThreshold;
  EXPECT_EQ(pushes, 2);
}

TEST(ExerciseSession, PowerTestIsSmoothedAndItsHeightsMatchTheFlightTime) {
  for (int32_t flight : {300, 600}) {
    SessionRig rig(",fast");
    const SimulatedSubject subject{.mass = 82, .flightTime = flight};
    ASSERT_TRUE(rig.simulation().setSubject(subject));
    ASSERT_TRUE(rig.weighing.go(rig.settings));
    ASSERT_TRUE(waitFor([&] { return rig.weighing.tick().status == WeighingStatus::Done; }));
    EXPECT_NEAR(rig.weighing.bodyWeight(), 82.0f, 0.2f);
    EXPECT_EQ(rig.store->bodyWeight, 0.0f) << "the weighing alone leaves the current recording's weight";

    ASSERT_EQ(rig.test.startPowerTest({.powerTestTime = 3}, rig.weighing.bodyWeight()), StartResult::Started);
    ASSERT_EQ(tickUntilEnd(rig.test), TestEnd::Finished);
    const MeasurementStore& s = *rig.store;
    ASSERT_EQ(s.sampleCount.load(), 3000);
    EXPECT_EQ(s.bodyWeight, rig.weighing.bodyWeight());
    // Recorded from the first frame, then the three-point mean of the unsmoothed neighbours.
    const SimulatedPlate plate(subjectScenario(subject, {LinkUse::PowerTest}));
    auto raw = [&](int32_t i) {
      int32_t v = 0, h = 0;
      plate.counts(i, v, h);
      return v - 148;
    };
    for (int32_t i = 1; i <= 2997; ++i) ASSERT_EQ(s.channels.vertical[i], (raw(i - 1) + raw(i) + raw(i + 1)) / 3);
    EXPECT_EQ(s.channels.vertical[2999], raw(2999));

    const JumpHeights jump = computeJumpHeights(s, s.bodyWeight);
    const double cm = 1.22625 * flight * flight / 10000.0;
    EXPECT_NEAR(jump.heightByFlightTime, cm, 1.0) << flight;
    EXPECT_NEAR(jump.heightByImpulse * 100.0, cm, 1.0) << flight;
  }
}

// A stopped take holds samples nobody saved: it counts as unsaved, whatever the flag was before.
TEST(ExerciseSession, StopKeepsEverythingRecordedAsAnUnsavedTake) {
  for (int32_t savedBefore : {1, 0}) {
    SessionRig rig("pushes:1");  // real time: the test still runs when STOP comes; never the 3 repetitions asked for
    rig.store->saved = savedBefore;
    ASSERT_EQ(rig.test.startForceTest(force(kRepetitionMode, 3)), StartResult::Started);
    ASSERT_TRUE(waitFor([&] { return rig.store->repetitions.count.load() == 1; }));
    EXPECT_EQ(rig.test.tick().end, TestEnd::None);
    EXPECT_EQ(rig.test.stop(), TestEnd::Stopped);
    EXPECT_FALSE(rig.plate.running());
    EXPECT_EQ(rig.store->sampleCount.load(), rig.store->recording.sampleCount.load()) << "all recorded before STOP";
    EXPECT_EQ(rig.store->recordingAvailable.load(), 1);
    EXPECT_EQ(rig.store->saved.load(), 0) << savedBefore;
  }
  // STOP before the start force was reached: nothing was recorded, and nothing is asked about.
  SessionRig rig("");
  ASSERT_EQ(rig.test.startForceTest(force(kTimeMode, 5, 6000)), StartResult::Started);
  EXPECT_EQ(rig.test.stop(), TestEnd::Stopped);
  EXPECT_EQ(rig.store->sampleCount.load(), 0);
  EXPECT_EQ(rig.store->saved.load(), 1);
}

TEST(ExerciseSession, FailedStartLeavesThePreviousRecordingUntouched) {
  SessionRig rig(",fast");
  ASSERT_EQ(rig.test.startForceTest(force(kRepetitionMode, 2)), StartResult::Started);
  ASSERT_EQ(tickUntilEnd(rig.test), TestEnd::Finished);
  const std::string before = storeImage(*rig.store);
  rig.clockSeconds += 86400;

  rig.simulation().unplug();
  EXPECT_EQ(rig.test.startForceTest(force(kTimeMode, 5)), StartResult::CommunicationError);
  EXPECT_EQ(rig.test.startPowerTest({.powerTestTime = 5}, 80.0f), StartResult::CommunicationError);
  EXPECT_FALSE(rig.plate.running()) << "a failed start leaves no link counted as running";
  rig.simulation().plugIn();
  ASSERT_TRUE(rig.check.open(rig.settings));  // a link that runs already
  EXPECT_EQ(rig.test.startForceTest(force(kTimeMode, 5)), StartResult::CommunicationError);
  EXPECT_TRUE(rig.plate.runningFor(rig.checkRecording));
  rig.check.close();
  for (const AppSettings& s : {force(kTimeMode, 61), force(kRepetitionMode, 26), force(kTimeMode, 0),
                               force(kTimeMode, 5, 6001), force(kTimeMode, 5, -1), force(2, 5)})
    EXPECT_EQ(rig.test.startForceTest(s), StartResult::InvalidParameters);
  for (int32_t seconds : {0, 62})
    EXPECT_EQ(rig.test.startPowerTest({.powerTestTime = seconds}, 80.0f), StartResult::InvalidParameters);
  EXPECT_TRUE(storeImage(*rig.store) == before);
  EXPECT_TRUE(forceTestSettingsValid(force(kRepetitionMode, 25, 6000)) &&
              forceTestSettingsValid(force(kTimeMode, 60, 0)));
  EXPECT_TRUE(powerTestSettingsValid({.powerTestTime = 61}) && powerTestSettingsValid({.powerTestTime = 1}));

  SessionRig absent("absent");
  const std::string empty = storeImage(*absent.store);
  EXPECT_EQ(absent.test.startForceTest(force(kTimeMode, 2)), StartResult::CommunicationError);
  EXPECT_TRUE(storeImage(*absent.store) == empty);
}

TEST(ExerciseSession, PlateUnpluggedMidTestEndsItAndKeepsTheSamples) {
  SessionRig rig("unplug:700,fast");  // gone after 700 frames of a test that starts at once
  ASSERT_EQ(rig.test.startForceTest(force(kTimeMode, 5, 0)), StartResult::Started);
  ASSERT_EQ(tickUntilEnd(rig.test), TestEnd::PlateLost);
  EXPECT_FALSE(rig.plate.running());
  EXPECT_EQ(rig.store->sampleCount.load(), 699) << "the frame that met the start force is not stored";
  EXPECT_EQ(rig.store->recordingAvailable.load(), 1);
  EXPECT_EQ(rig.store->saved.load(), 0) << "the take waits to be saved";

  // The simulated plate's own unplug, during a real-time test; plugged back in for the next start.
  SessionRig live("");
  ASSERT_EQ(live.test.startForceTest(force(kTimeMode, 10)), StartResult::Started);
  ASSERT_TRUE(waitFor([&] { return live.store->recording.sampleCount.load() > 100; }));
  live.simulation().unplug();
  ASSERT_EQ(tickUntilEnd(live.test, milliseconds(10)), TestEnd::PlateLost);
  EXPECT_GT(live.store->sampleCount.load(), 100);
  live.simulation().plugIn();
  ASSERT_EQ(live.test.startPowerTest({.powerTestTime = 1}, 75.0f), StartResult::Started);
  EXPECT_EQ(tickUntilEnd(live.test, milliseconds(10)), TestEnd::Finished);
}

// After a longer recording (a 5 s jump), whatever ends the next, shorter test leaves the pair past its
// last sample at 0, and the file saved next holds 0 there.
TEST(ExerciseSession, TheSparePairAfterTheLastSampleReadsZeroWhateverEndedTheTest) {
  const struct {
    const char* name;
    const char* scenario;
    bool power;
    bool stopEarly;
    TestEnd end;
  } cases[] = {
      {"force test by time", ",fast", false, false, TestEnd::Finished},
      {"power test", ",fast", true, false, TestEnd::Finished},
      {"STOP", "", false, true, TestEnd::Stopped},
      {"lost plate", "unplug:700,fast", false, false, TestEnd::PlateLost},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SessionRig rig(c.scenario);
    MeasurementStore& s = *rig.store;
    std::fill_n(s.channels.vertical, kMaxSamples, 7366);
    std::fill_n(s.channels.horizontal, kMaxSamples, 55);
    s.sampleCount = 5000;
    const StartResult started = c.power ? rig.test.startPowerTest({.powerTestTime = 1}, 75.0f)
                                        : rig.test.startForceTest(force(kTimeMode, 1, 0));
    ASSERT_EQ(started, StartResult::Started);
    if (c.stopEarly) {
      ASSERT_TRUE(waitFor([&] { return s.recording.sampleCount.load() > 200; }));
      EXPECT_EQ(rig.test.stop(), c.end);
    } else {
      EXPECT_EQ(tickUntilEnd(rig.test), c.end);
    }
    const int32_t n = s.sampleCount.load();
    ASSERT_GT(n, 0);
    ASSERT_LT(n, 5000);
    EXPECT_NE(s.channels.vertical[n - 1], 7366) << "the last sample is the new test's";
    EXPECT_EQ(s.channels.vertical[n], 0);
    EXPECT_EQ(s.channels.horizontal[n], 0);
    EXPECT_EQ(s.channels.vertical[n + 1], 7366) << "only the spare pair is cleared";
    auto saved = std::make_unique<MeasurementRecord>();
    ASSERT_EQ(decodeMeasurement(encodeMeasurement(s, SubjectInfo{}), *saved), DecodeStatus::Ok);
    EXPECT_EQ(saved->spareVertical, 0);
    EXPECT_EQ(saved->spareHorizontal, 0);
  }
}

}  // namespace
}  // namespace velkora
