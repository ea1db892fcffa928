// Real-time tests driven by ticks as the view's timer drives them, so the reader records while the
// ticks read (they run under ThreadSanitizer with the other core tests), and a soak test.

#include <gtest/gtest.h>
#include <malloc.h>

#include <filesystem>

#include "acquisition/exercise_limits.h"
#include "acquisition/session_rig.h"

namespace velkora {
namespace {

using namespace std::chrono;
using testing::SessionRig;
using testing::tickUntilEnd;

TEST(ExerciseSessionLive, CurveTestDrawsEverySampleOnce) {
  SessionRig rig("");
  GraphSettings graph;
  ASSERT_EQ(rig.test.startForceTest({.forceTestValue = 1, .forceTestMode = kTimeMode}), StartResult::Started);
  int32_t drawn = 0;
  int32_t growingTicks = 0;
  double sum = 0.0;
  ASSERT_EQ(tickUntilEnd(rig.test, milliseconds(10),
                         [&](const TestTick& t) {
                           if (t.drawTo <= t.drawFrom) return;
                           EXPECT_EQ(t.drawFrom, drawn);
                           ++growingTicks;
                           for (int32_t i = t.drawFrom + 1; i <= t.drawTo; ++i)
                             sum += liveCurveValue(*rig.store, i, 0, graph);
                           drawn = t.drawTo;
                         }),
            TestEnd::Finished);
  EXPECT_EQ(drawn, 999);
  EXPECT_GE(growingTicks, 5);
  EXPECT_GT(sum, 0.0);
}

TEST(ExerciseSessionLive, RepetitionTestShowsTheRepetitionInProgress) {
  SessionRig rig("");
  ASSERT_TRUE(rig.simulation().setSubject({.pushForce = 1200, .pushLength = 250}));
  ASSERT_EQ(rig.test.startForceTest({.forceTestValue = 3, .forceTestMode = kRepetitionMode}), StartResult::Started);
  float livePeak[kMaxRepetitions + 1] = {};
  int32_t drawn = 0;
  int64_t rows = 0;
  ASSERT_EQ(tickUntilEnd(rig.test, milliseconds(10),
                         [&](const TestTick& t) {
                           EXPECT_EQ(t.redrawBars, t.repetitionsDrawn > drawn);
                           drawn = t.repetitionsDrawn;
                           for (int32_t r = 0; r < drawn; ++r) rows += rig.store->repetitions.peakVertical[r];
                           EXPECT_EQ(t.inProgress.index, drawn);
                           livePeak[drawn] = std::max(livePeak[drawn], t.inProgress.peakVertical);
                         }),
            TestEnd::Finished);
  ASSERT_EQ(rig.store->repetitions.count.load(), 3);
  EXPECT_GT(rows, 0);
  for (int32_t k = 0; k < 3; ++k) {
    EXPECT_GT(livePeak[k], 500.0f) << "repetition " << k << " was seen growing";
    EXPECT_LE(livePeak[k], rig.store->repetitions.peakVertical[k]) << "and never passed its final peak";
  }
}

TEST(ExerciseSessionSoak, TwoHundredShortTestsLeaveNoMemoryOrDescriptorsBehind) {
  SessionRig rig(",fast");
  auto descriptors = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
  };
  size_t heapBefore = 0;
  std::ptrdiff_t descriptorsBefore = 0;
  for (int32_t i = 0; i < 200; ++i) {
    if (i == 20) {  // after the first thread stacks and caches
      heapBefore = mallinfo2().uordblks;
      descriptorsBefore = descriptors();
    }
    switch (i % 4) {
      case 0:
        ASSERT_EQ(rig.test.startForceTest({.forceTestValue = 1, .forceTestMode = kTimeMode}), StartResult::Started);
        break;
      case 1:
        ASSERT_EQ(rig.test.startForceTest({.forceTestValue = 2, .forceTestMode = kRepetitionMode}),
                  StartResult::Started);
        break;
      case 2:
        ASSERT_EQ(rig.test.startForceTest({.forceTestValue = 60, .forceTestMode = kTimeMode}), StartResult::Started);
        // STOP, unless the fast plate has filled the minute already.
        if (rig.test.tick().end == TestEnd::None) {
          ASSERT_NE(rig.test.stop(), TestEnd::None);
        }
        continue;
      case 3:
        ASSERT_EQ(rig.test.startPowerTest({.powerTestTime = 1}, 75.0f), StartResult::Started);
        break;
    }
    ASSERT_EQ(tickUntilEnd(rig.test, milliseconds(1)), TestEnd::Finished) << i;
  }
  EXPECT_FALSE(rig.plate.running());
  EXPECT_EQ(descriptors(), descriptorsBefore);
  EXPECT_LE(mallinfo2().uordblks, heapBefore + 4096) << "from " << heapBefore;
}

}  // namespace
}  // namespace velkora
