#include "acquisition/power_exercise.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace velkora {
namespace {

TEST(PowerTest, BodyWeightUsesSamples10To2009) {
  auto buffer = std::make_unique<SampleBuffer>();
  for (int32_t i = 0; i < kWeighingSamples; ++i) buffer->vertical[i] = 981;
  for (int32_t i : {0, 9, 2010, 2019}) buffer->vertical[i] = 4000;  // a step onto or off the plate
  EXPECT_NEAR(bodyWeightFromSamples(*buffer, 1.0f), 100.0f, 1e-4f);
  EXPECT_NEAR(bodyWeightFromSamples(*buffer, 0.5f), 50.0f, 1e-4f);
  buffer->vertical[10] += 2000;  // one sample inside the window counts
  EXPECT_NEAR(bodyWeightFromSamples(*buffer, 1.0f), 100.0f + 1.0f / 9.81f, 1e-4f);

  // The division by 2000 is single precision: 1569600 / 2000 rounds to 784.79999 before g, which
  // prints 79.9999924 where a division in double would print 80.
  for (int32_t i = 0; i < kWeighingSamples; ++i) buffer->vertical[i] = 784;
  for (int32_t i = 10; i < 10 + 1600; ++i) buffer->vertical[i] = 785;  // S = 1569600
  char printed[32];
  std::snprintf(printed, sizeof printed, "%.9g", bodyWeightFromSamples(*buffer, 1.0f));
  EXPECT_STREQ(printed, "79.9999924");
}

TEST(PowerTest, ThreePointSmoothingLeavesTheEndsAndTruncatesTowardZero) {
  auto buffer = std::make_unique<SampleBuffer>();
  const std::vector<int32_t> raw = {3, 9, 0, -4, -5, -7, 30, 60};
  auto load = [&] {
    for (size_t i = 0; i < raw.size(); ++i) buffer->vertical[i] = raw[i];
    buffer->vertical[raw.size()] = 1000;  // beyond n: never read
  };
  load();
  smoothVertical(*buffer, 8);
  // Each from the unsmoothed neighbours; -13/3 is -4, not -5. Samples n-2 and n-1 stay.
  const std::vector<int32_t> expected = {3, 4, 1, -3, -5, 6, 30, 60};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(buffer->vertical[i], expected[i]) << i;
  EXPECT_EQ(buffer->vertical[8], 1000);

  for (int32_t n : {0, 1, 2, 3}) {
    load();
    smoothVertical(*buffer, n);
    for (size_t i = 0; i < raw.size(); ++i) EXPECT_EQ(buffer->vertical[i], raw[i]) << "n " << n;
  }
  load();
  smoothVertical(*buffer, 4);  // only sample 1 changes
  EXPECT_EQ(buffer->vertical[1], 4);
  EXPECT_EQ(buffer->vertical[2], 0);
}

TEST(PowerTest, CountsOfAnySizeGiveDefinedResults) {
  auto buffer = std::make_unique<SampleBuffer>();
  // What a zero offset of -1e30 from a configuration file makes of a standing subject.
  for (int32_t i = 0; i < kWeighingSamples; ++i) buffer->vertical[i] = INT32_MAX;
  const float weight = bodyWeightFromSamples(*buffer, 1.0f);
  EXPECT_NEAR(weight, static_cast<float>(INT32_MAX / 9.81), 1e-6f * weight);

  smoothVertical(*buffer, 5);
  EXPECT_EQ(buffer->vertical[1], INT32_MAX) << "the mean of three equal counts is that count";
  EXPECT_EQ(buffer->vertical[2], INT32_MAX);
  const std::vector<int32_t> mixed = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MIN, 7};
  for (size_t i = 0; i < mixed.size(); ++i) buffer->vertical[i] = mixed[i];
  smoothVertical(*buffer, 5);
  EXPECT_EQ(buffer->vertical[1], (2LL * INT32_MIN + INT32_MAX) / 3);
  EXPECT_EQ(buffer->vertical[2], (2LL * INT32_MIN + INT32_MAX) / 3);
}

}  // namespace
}  // namespace velkora
