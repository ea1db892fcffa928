#include "acquisition/test_session.h"

#include <gtest/gtest.h>

#include <cstring>

#include "acquisition/power_test.h"
#include "acquisition/session_rig.h"
#include "acquisition/simulated_plate.h"
#include "acquisition/test_parameters.h"
#include "reports/jump_analysis.h"

namespace velkora {
namespace {

using namespace std::chrono;
using testing::SessionRig;
using testing::tickUntilEnd;
using testing::waitFor;

// Everything a failed start must leave as it was.
struct StoreImage {
  explicit StoreImage(const MeasurementStore& s)
      : sampleCount(s.sampleCount.load()),
        testTime(s.testTime),
        calibration(s.calibration),
        repetitions(s.repetitions.count.load()),
        bodyWeight(s.bodyWeight),
        kind(s.testKind),
        available(s.recordingAvailable.load()),
        saved(s.saved.load()),
        analysed(s.jump.analysed),
        peakIndex(s.jump.peakIndex) {
    std::memcpy(rows, s.repetitions.peakVertical, sizeof rows);
    channels = std::make_unique<SampleBuffer>();
    std::memcpy(channels.get(), &s.channels, sizeof(SampleBuffer));
  }
  void expectSame(const MeasurementStore& s) const {
    EXPECT_EQ(s.sampleCount.load(), sampleCount);
    EXPECT_EQ(s.testTime, testTime);
    EXPECT_EQ(std::memcmp(&s.calibration, &calibration, sizeof calibration), 0);
    EXPECT_EQ(s.repetitions.count.load(), repetitions);
    EXPECT_EQ(std::memcmp(s.repetitions.peakVertical, rows, sizeof rows), 0);
    EXPECT_EQ(s.bodyWeight, bodyWeight);
    EXPECT_EQ(s.testKind, kind);
    EXPECT_EQ(s.recordingAvailable.load(), available);
    EXPECT_EQ(s.saved.load(), saved);
    EXPECT_EQ(s.jump.analysed, analysed);
    EXPECT_EQ(s.jump.peakIndex, peakIndex);
    EXPECT_EQ(std::memcmp(&s.channels, channels.get(), sizeof(SampleBuffer)), 0) << "samples overwritten";
  }
  int32_t sampleCount, testTime;
  CalibrationSet calibration;
  int32_t repetitions;
  int32_t rows[kMaxRepetitions];
  float bodyWeight;
  TestKind kind;
  int32_t available, saved;
  bool analysed;
  int32_t peakIndex;
  std::unique_ptr<SampleBuffer> channels;
};

AppSettings forceSettings(int32_t mode, int32_t value, int32_t startForce = 20) {
  return {.forceTestValue = value, .startForce = startForce, .forceTestMode = mode};
}

TEST(TestSession, TimeModeRecordsExactlyItsSecondsFromTheFrameAfterTheStartForce) {
  SessionRig rig(",fast");
  rig.store->saved = 1;
  ASSERT_EQ(rig.test.startForceTest(forceSettings(kTimeMode, 2)), StartResult::Started);
  EXPECT_EQ(rig.store->recordingAvailable.load(), 0);
  EXPECT_EQ(rig.store->testKind, TestKind::Force);
  EXPECT_EQ(rig.test.target(), 2000);

  int32_t drawn = 0;  // the last sample a tick let the view draw up to
  int32_t ticks = 0;
  const TestEnd end = tickUntilEnd(rig.test, milliseconds(1), [&](const TestTick& t) {
    ++ticks;
    EXPECT_EQ(t.drawFrom, drawn > 0 ? drawn : 0) << "segments continue where the last tick stopped";
    if (t.drawTo > t.drawFrom) drawn = t.drawTo;
    EXPECT_EQ(t.sampleCount, rig.store->sampleCount.load());
  });
  ASSERT_EQ(end, TestEnd::Finished);
  EXPECT_EQ(drawn, 1999);
  EXPECT_FALSE(rig.plate.running());
  EXPECT_EQ(rig.store->sampleCount.load(), 2000);
  EXPECT_EQ(rig.store->recordingAvailable.load(), 1);
  EXPECT_EQ(rig.store->saved.load(), 0);
  EXPECT_EQ(rig.store->testTime, static_cast<int32_t>(testing::kTestClockSeconds));
  EXPECT_FALSE(rig.test.running());
  EXPECT_EQ(rig.test.tick().end, TestEnd::None) << "the end is reported once";

  // The subject's pushes, frame by frame: sample 0 is the frame after the first one whose force
  // reaches 20 N, and the 2000 samples follow without a gap.
  const SimulatedPlate plate(subjectScenario(SimulatedSubject{}, {LinkUse::ForceTest}));
  int64_t trigger = 0;
  for (;; ++trigger) {
    int32_t v = 0, h = 0;
    plate.counts(trigger, v, h);
    if ((v - 148) + (h - 2048) >= 20) break;
  }
  EXPECT_GT(trigger, 500) << "the pushes begin after a pause";
  for (int32_t i = 0; i < 2000; ++i) {
    int32_t v = 0, h = 0;
    plate.counts(trigger + 1 + i, v, h);
    ASSERT_EQ(rig.store->channels.vertical[i], v - 148) << i;
    ASSERT_EQ(rig.store->channels.horizontal[i], h - 2048) << i;
  }
}

TEST(TestSession, RepetitionModeEndsOneFrameAfterTheLastRepetition) {
  SessionRig rig(",fast");
  SimulatedSubject subject;
  subject.pushCount = 5;
  subject.pushForce = 900;
  ASSERT_TRUE(rig.simulation().setSubject(subject));
  // Rows of an earlier test: the new one must count from zero and overwrite what it uses.
  rig.store->repetitions.count = 25;
  for (int32_t& p : rig.store->repetitions.peakVertical) p = 5555;

  ASSERT_EQ(rig.test.startForceTest(forceSettings(kRepetitionMode, 3)), StartResult::Started);
  EXPECT_TRUE(rig.test.countsRepetitions());
  int32_t redraws = 0;
  TestTick last;
  ASSERT_EQ(tickUntilEnd(rig.test, milliseconds(1),
                         [&](const TestTick& t) {
                           redraws += t.redrawBars ? 1 : 0;
                           last = t;
                         }),
            TestEnd::Finished);
  const MeasurementStore& s = *rig.store;
  ASSERT_EQ(s.repetitions.count.load(), 3);
  EXPECT_EQ(last.repetitionsDrawn, 3);
  EXPECT_GE(redraws, 1);
  const int32_t n = s.sampleCount.load();
  EXPECT_LE(s.channels.vertical[n - 1], kRepetitionThreshold) << "the frame that ended the third push is the last";
  EXPECT_GT(s.channels.vertical[n - 2], kRepetitionThreshold);
  for (int32_t k = 0; k < 3; ++k) {
    EXPECT_NEAR(s.repetitions.peakVertical[k], 900, 1) << k;
    EXPECT_NEAR(s.repetitions.peakHorizontal[k], 900 / 8.0, 2) << k;  // rounding and noise of the counts
  }
  EXPECT_EQ(s.recordingAvailable.load(), 1);
  EXPECT_EQ(s.saved.load(), 0);
}

TEST(TestSession, PowerTestIsSmoothedAndItsHeightsMatchTheFlightTime) {
  for (int32_t flight : {300, 450, 600}) {
    SCOPED_TRACE(flight);
    SessionRig rig(",fast");
    SimulatedSubject subject;
    subject.mass = 82;
    subject.flightTime = flight;
    ASSERT_TRUE(rig.simulation().setSubject(subject));
    rig.store->bodyWeight = 60;  // an earlier recording's

    ASSERT_TRUE(rig.weighing.go(rig.settings));
    ASSERT_TRUE(waitFor([&] { return rig.weighing.tick().status == WeighingStatus::Done; }));
    EXPECT_NEAR(rig.weighing.bodyWeight(), 82.0f, 0.2f);
    EXPECT_EQ(rig.store->bodyWeight, 60.0f) << "the weighing alone leaves the recording's weight";

    rig.settings.powerTestTime = 3;
    ASSERT_EQ(rig.test.startPowerTest(rig.settings, rig.weighing.bodyWeight()), StartResult::Started);
    ASSERT_EQ(tickUntilEnd(rig.test), TestEnd::Finished);
    const MeasurementStore& s = *rig.store;
    ASSERT_EQ(s.sampleCount.load(), 3000);
    EXPECT_EQ(s.testKind, TestKind::Power);
    EXPECT_EQ(s.bodyWeight, rig.weighing.bodyWeight());
    EXPECT_TRUE(s.jump.analysed);

    // The power test records from the first frame; the vertical channel is the three-point mean.
    const SimulatedPlate plate(subjectScenario(subject, {LinkUse::PowerTest}));
    auto raw = [&](int32_t i) {
      int32_t v = 0, h = 0;
      plate.counts(i, v, h);
      return v - 148;
    };
    EXPECT_EQ(s.channels.vertical[0], raw(0));
    for (int32_t i = 1; i <= 2997; ++i) ASSERT_EQ(s.channels.vertical[i], (raw(i - 1) + raw(i) + raw(i + 1)) / 3) << i;
    EXPECT_EQ(s.channels.vertical[2999], raw(2999));

    const JumpHeights h = computeJumpHeights(s, s.bodyWeight);
    const double expectedCm = 1.22625 * flight * flight / 10000.0;
    EXPECT_NEAR(h.flightTime, flight, 2);
    EXPECT_NEAR(h.heightByFlightTime, expectedCm, 1.0);
    EXPECT_NEAR(h.heightByImpulse * 100.0, expectedCm, 1.0);
  }
}

TEST(TestSession, StopKeepsSavedAndEverythingRecorded) {
  for (int32_t savedBefore : {1, 0}) {
    SCOPED_TRACE(savedBefore);
    SessionRig rig("");  // real time: the test is still running when STOP comes
    SimulatedSubject subject;
    subject.pushCount = 1;  // never the 3 repetitions asked for
    ASSERT_TRUE(rig.simulation().setSubject(subject));
    rig.store->saved = savedBefore;
    ASSERT_EQ(rig.test.startForceTest(forceSettings(kRepetitionMode, 3)), StartResult::Started);
    Recording& r = rig.store->recording;
    ASSERT_TRUE(waitFor([&] { return rig.store->repetitions.count.load() == 1; }));
    EXPECT_EQ(rig.test.tick().end, TestEnd::None);
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(rig.test.stop(), TestEnd::Stopped);
    EXPECT_FALSE(rig.plate.running());
    EXPECT_EQ(r.stopped.load(), 1);
    EXPECT_EQ(rig.store->sampleCount.load(), r.sampleCount.load()) << "every sample recorded before STOP";
    EXPECT_EQ(rig.store->recordingAvailable.load(), 1);
    EXPECT_EQ(rig.store->saved.load(), savedBefore);
    EXPECT_EQ(rig.store->repetitions.count.load(), 1);
    EXPECT_EQ(rig.test.stop(), TestEnd::None);
  }

  // A power test ended by STOP is smoothed and analysed over what it holds.
  SessionRig rig("");
  rig.settings.powerTestTime = 5;
  ASSERT_EQ(rig.test.startPowerTest(rig.settings, 75.0f), StartResult::Started);
  ASSERT_TRUE(waitFor([&] { return rig.store->recording.sampleCount.load() > 200; }));
  EXPECT_EQ(rig.test.stop(), TestEnd::Stopped);
  const int32_t n = rig.store->sampleCount.load();
  EXPECT_GT(n, 200);
  EXPECT_LT(n, 5000);
  EXPECT_TRUE(rig.store->jump.analysed);
  EXPECT_LT(rig.store->jump.peakIndex, n);
  EXPECT_EQ(rig.store->saved.load(), 1);

  // STOP after the recording reached its limit by itself ends a finished test.
  SessionRig done(",fast");
  ASSERT_EQ(done.test.startForceTest(forceSettings(kTimeMode, 1)), StartResult::Started);
  ASSERT_TRUE(waitFor([&] { return done.store->recording.stopped.load() == 1; }));
  EXPECT_EQ(done.test.stop(), TestEnd::Finished);
  EXPECT_EQ(done.store->sampleCount.load(), 1000);
  EXPECT_EQ(done.store->saved.load(), 0);
}

TEST(TestSession, FailedStartLeavesThePreviousRecordingUntouched) {
  SessionRig rig(",fast");
  ASSERT_EQ(rig.test.startForceTest(forceSettings(kRepetitionMode, 2)), StartResult::Started);
  ASSERT_EQ(tickUntilEnd(rig.test), TestEnd::Finished);
  rig.store->bodyWeight = 71.5f;
  const StoreImage before(*rig.store);
  rig.clockSeconds += 86400;

  // The plate unplugged, a link that already runs, and settings out of range.
  rig.simulation().unplug();
  EXPECT_EQ(rig.test.startForceTest(forceSettings(kTimeMode, 5)), StartResult::CommunicationError);
  EXPECT_EQ(rig.test.startPowerTest(rig.settings, 80.0f), StartResult::CommunicationError);
  EXPECT_FALSE(rig.plate.running()) << "a failed start leaves no link counted as running";
  rig.simulation().plugIn();
  ASSERT_TRUE(rig.check.open(rig.settings));
  EXPECT_EQ(rig.test.startForceTest(forceSettings(kTimeMode, 5)), StartResult::CommunicationError);
  EXPECT_TRUE(rig.plate.runningFor(rig.checkRecording)) << "the running link is left alone";
  rig.check.close();
  const AppSettings invalid[] = {forceSettings(kTimeMode, 0),
                                 forceSettings(kTimeMode, 61),
                                 forceSettings(kRepetitionMode, 26),
                                 forceSettings(kRepetitionMode, 0),
                                 forceSettings(kTimeMode, 5, -1),
                                 forceSettings(kTimeMode, 5, 6001),
                                 forceSettings(2, 5)};
  for (const AppSettings& s : invalid) EXPECT_EQ(rig.test.startForceTest(s), StartResult::InvalidParameters);
  for (int32_t seconds : {0, -3, 62}) {
    rig.settings.powerTestTime = seconds;
    EXPECT_EQ(rig.test.startPowerTest(rig.settings, 80.0f), StartResult::InvalidParameters) << seconds;
  }
  before.expectSame(*rig.store);

  // The same with the plate absent from the start.
  SessionRig absent("absent");
  const StoreImage empty(*absent.store);
  EXPECT_EQ(absent.test.startForceTest(forceSettings(kTimeMode, 2)), StartResult::CommunicationError);
  empty.expectSame(*absent.store);
}

TEST(TestSession, ParameterRanges) {
  struct Case {
    int32_t mode, value, startForce;
    bool valid;
  };
  for (const Case& c : {Case{kTimeMode, 1, 0, true},
                        {kTimeMode, 60, 6000, true},
                        {kRepetitionMode, 25, 20, true},
                        {kRepetitionMode, 1, 20, true},
                        {kRepetitionMode, 26, 20, false},
                        {kTimeMode, 61, 20, false},
                        {kTimeMode, 0, 20, false},
                        {kTimeMode, 10, 6001, false},
                        {kTimeMode, 10, -1, false},
                        {-1, 10, 20, false}}) {
    EXPECT_EQ(forceTestSettingsValid(forceSettings(c.mode, c.value, c.startForce)), c.valid)
        << c.mode << " " << c.value << " " << c.startForce;
  }
  for (auto [seconds, valid] : {std::pair{1, true}, {61, true}, {0, false}, {62, false}, {-1, false}}) {
    EXPECT_EQ(powerTestSettingsValid({.powerTestTime = seconds}), valid) << seconds;
  }
}

TEST(TestSession, PlateUnpluggedMidTestEndsItAndKeepsTheSamples) {
  // The plate goes away after 700 frames of a 5 s test that starts at once.
  SessionRig rig("unplug:700,fast");
  rig.store->saved = 1;
  ASSERT_EQ(rig.test.startForceTest(forceSettings(kTimeMode, 5, 0)), StartResult::Started);
  ASSERT_EQ(tickUntilEnd(rig.test), TestEnd::PlateLost);
  EXPECT_FALSE(rig.plate.running());
  EXPECT_EQ(rig.store->sampleCount.load(), 699) << "the frame that met the start force is not stored";
  EXPECT_EQ(rig.store->recordingAvailable.load(), 1);
  EXPECT_EQ(rig.store->saved.load(), 1);

  // The menu's unplug during a real-time test, then the plate plugged back in for the next start.
  SessionRig live("");
  ASSERT_EQ(live.test.startForceTest(forceSettings(kTimeMode, 10)), StartResult::Started);
  ASSERT_TRUE(waitFor([&] { return live.store->recording.sampleCount.load() > 100; }));
  live.simulation().unplug();
  const auto unplugged = steady_clock::now();
  ASSERT_EQ(tickUntilEnd(live.test, milliseconds(10)), TestEnd::PlateLost);
  EXPECT_LT(steady_clock::now() - unplugged, milliseconds(500));
  const int32_t kept = live.store->sampleCount.load();
  EXPECT_GT(kept, 100);
  EXPECT_LT(kept, 10000);
  EXPECT_EQ(live.test.startForceTest(forceSettings(kTimeMode, 10)), StartResult::CommunicationError);
  EXPECT_EQ(live.store->sampleCount.load(), kept);
  live.simulation().plugIn();
  ASSERT_EQ(live.test.startForceTest(forceSettings(kTimeMode, 1)), StartResult::Started);
  EXPECT_EQ(tickUntilEnd(live.test, milliseconds(10)), TestEnd::Finished);
}

TEST(TestSession, LiveCurveValuesAreClampedToTheAxis) {
  SessionRig rig(",fast");
  MeasurementStore& s = *rig.store;
  GraphSettings graph;  // vertical 0..2000 N, horizontal -2000..2000 N
  s.calibration.coefficientVertical = 2.0f;
  struct Case {
    int32_t vertical, parameter;
    float expected;
  };
  for (const Case& c : {Case{100, 0, 200.0f},
                        {1500, 0, 2000.0f},
                        {-10, 0, 0.0f},
                        {-2500, 1, -2000.0f},
                        {7, 6, 0.0f},
                        {7, 9, 0.0f},
                        {7, -1, 0.0f}}) {
    s.channels.vertical[0] = c.vertical;
    s.channels.horizontal[0] = c.vertical;
    EXPECT_EQ(liveCurveValue(s, 0, c.parameter, graph), c.expected) << c.vertical << " on " << c.parameter;
  }
  s.calibration.coefficientVertical = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(liveCurveValue(s, 0, 0, graph), 0.0f) << "NaN lies on the axis minimum";
}

}  // namespace
}  // namespace velkora
