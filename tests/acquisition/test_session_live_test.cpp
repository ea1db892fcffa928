// Live tests in real time, driven by ticks the way the view's timer drives them: the reader thread
// records while the ticks read. They run under ThreadSanitizer with the other core tests. And a soak
// test of many consecutive short tests.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <filesystem>

#include "acquisition/session_rig.h"
#include "acquisition/test_parameters.h"

namespace velkora {
namespace {

using namespace std::chrono;
using testing::SessionRig;
using testing::tickUntilEnd;

TEST(TestSessionLive, CurveTestDrawsEverySampleOnceWhileRecording) {
  SessionRig rig("");
  GraphSettings graph;
  ASSERT_EQ(rig.test.startForceTest({.forceTestValue = 1, .startForce = 20, .forceTestMode = kTimeMode}),
            StartResult::Started);
  int32_t drawnUpTo = 0;
  int32_t segments = 0;
  int32_t ticksWithSamples = 0;
  bool sawWaiting = false;
  double checksum = 0.0;
  const TestEnd end = tickUntilEnd(rig.test, milliseconds(10), [&](const TestTick& t) {
    sawWaiting = sawWaiting || t.waitingForStartForce;
    if (t.drawTo <= t.drawFrom) return;
    EXPECT_EQ(t.drawFrom, drawnUpTo);
    ++ticksWithSamples;
    // What the view does: read the samples up to the count the tick published.
    for (int32_t i = t.drawFrom + 1; i <= t.drawTo; ++i) {
      checksum += liveCurveValue(*rig.store, i - 1, 0, graph) + liveCurveValue(*rig.store, i, 1, graph);
      ++segments;
    }
    drawnUpTo = t.drawTo;
  });
  ASSERT_EQ(end, TestEnd::Finished);
  EXPECT_TRUE(sawWaiting) << "the subject pauses before the first push";
  EXPECT_EQ(segments, 999);
  EXPECT_GE(ticksWithSamples, 5) << "the curve grew over several ticks";
  EXPECT_GT(checksum, 0.0);
  EXPECT_EQ(rig.store->sampleCount.load(), 1000);
}

TEST(TestSessionLive, RepetitionTestShowsTheRepetitionInProgress) {
  SessionRig rig("");
  SimulatedSubject subject;
  subject.pushLength = 250;
  subject.pushForce = 1200;
  ASSERT_TRUE(rig.simulation().setSubject(subject));
  ASSERT_EQ(rig.test.startForceTest({.forceTestValue = 3, .startForce = 20, .forceTestMode = kRepetitionMode}),
            StartResult::Started);
  float livePeak[kMaxRepetitions + 1] = {};
  int32_t drawn = 0;
  int32_t rowsSum = 0;
  const TestEnd end = tickUntilEnd(rig.test, milliseconds(10), [&](const TestTick& t) {
    EXPECT_GE(t.repetitionsDrawn, drawn);
    EXPECT_EQ(t.redrawBars, t.repetitionsDrawn > drawn);
    drawn = t.repetitionsDrawn;
    // The completed rows are read while the recorder works on the next one.
    for (int32_t r = 0; r < drawn; ++r) rowsSum += rig.store->repetitions.peakVertical[r];
    const LiveRepetition& live = t.inProgress;
    EXPECT_EQ(live.index, drawn);
    EXPECT_GE(live.peakVertical, 0.0f);
    EXPECT_LE(live.peakVertical, 1201.0f);
    livePeak[live.index] = std::max(livePeak[live.index], live.peakVertical);
  });
  ASSERT_EQ(end, TestEnd::Finished);
  const RepetitionTable& reps = rig.store->repetitions;
  ASSERT_EQ(reps.count.load(), 3);
  EXPECT_GT(rowsSum, 0);
  for (int32_t k = 0; k < 3; ++k) {
    EXPECT_NEAR(reps.peakVertical[k], 1200, 1) << k;
    EXPECT_GT(livePeak[k], 500.0f) << "repetition " << k << " was seen growing";
    EXPECT_LE(livePeak[k], static_cast<float>(reps.peakVertical[k])) << "a live peak never passes the final one";
  }
}

size_t openDescriptors() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

TEST(TestSessionSoak, TwoHundredShortTestsLeaveNoMemoryOrDescriptorsBehind) {
  SessionRig rig(",fast");
  const AppSettings kinds[] = {
      {.forceTestValue = 1, .startForce = 20, .forceTestMode = kTimeMode},
      {.forceTestValue = 2, .startForce = 20, .forceTestMode = kRepetitionMode},
      {.forceTestValue = 60, .startForce = 20, .forceTestMode = kTimeMode},  // ended by STOP
      {.powerTestTime = 1},
  };
  int32_t stopped = 0;
  auto runOne = [&](int32_t i) {
    const AppSettings& s = kinds[i % 4];
    const StartResult started = i % 4 == 3 ? rig.test.startPowerTest(s, 75.0f) : rig.test.startForceTest(s);
    ASSERT_EQ(started, StartResult::Started) << i;
    if (i % 4 == 2) {
      rig.test.tick();
      const TestEnd end = rig.test.stop();
      ASSERT_NE(end, TestEnd::None);
      stopped += end == TestEnd::Stopped ? 1 : 0;
    } else {
      ASSERT_EQ(tickUntilEnd(rig.test, milliseconds(1)), TestEnd::Finished) << i;
    }
    ASSERT_FALSE(rig.plate.running());
  };
  for (int32_t i = 0; i < 20; ++i) runOne(i);  // warm-up: caches and the first thread stacks
  const size_t heapBefore = mallinfo2().uordblks;
  const size_t descriptorsBefore = openDescriptors();
  for (int32_t i = 20; i < 200; ++i) {
    runOne(i);
    if (::testing::Test::HasFatalFailure()) return;
  }
  const size_t heapAfter = mallinfo2().uordblks;
  EXPECT_EQ(openDescriptors(), descriptorsBefore);
  EXPECT_LE(heapAfter, heapBefore + 4 * 1024) << "heap in use grew from " << heapBefore << " to " << heapAfter;
  EXPECT_GT(stopped, 0) << "some tests really were ended by STOP";
  std::printf("[ figures  ] heap in use %zu -> %zu bytes, %zu descriptors, %d of 50 ended by STOP\n", heapBefore,
              heapAfter, descriptorsBefore, stopped);
}

}  // namespace
}  // namespace velkora
