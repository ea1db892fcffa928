#include "reports/interval_list.h"

#include <gtest/gtest.h>

#include "reports/report_fixtures.h"

namespace velkora {
namespace {

TEST(IntervalList, EntriesAreMadeOnDemandFromThePrefixAndTheInterval) {
  auto store = testing::makeStore({{61000, 1}}, TestKind::Force);
  store->repetitions.count = 4;
  const IntervalList samples = sampleIntervals(*store);
  EXPECT_EQ(samples.count, 61000);
  EXPECT_EQ(samples.entry(0), "Time (ms) 1");
  EXPECT_EQ(samples.entry(60999), "Time (ms) 61000");
  EXPECT_EQ(samples.entry(61000), "");
  EXPECT_EQ(samples.entry(-1), "");

  const IntervalList repetitions = repetitionIntervals(*store);
  EXPECT_EQ(repetitions.count, 4);
  EXPECT_EQ(repetitions.entry(3), "Repetiton Interval 4");

  store->repetitions.count = 99;
  EXPECT_EQ(repetitionIntervals(*store).count, 25);
  store->sampleCount = -5;
  EXPECT_EQ(sampleIntervals(*store).count, 0);
}

}  // namespace
}  // namespace velkora
