#pragma once
// The entries of the report bar's interval list, produced on demand: a digital report of 61000
// samples offers 61000 intervals, so no list of texts is ever built.

#include <cstdint>
#include <string>
#include <string_view>

#include "acquisition/measurement_store.h"

namespace velkora {

inline constexpr std::string_view kTimeIntervalPrefix = "Time (ms) ";
inline constexpr std::string_view kRepetitionIntervalPrefix = "Repetiton Interval ";

struct IntervalList {
  std::string_view prefix;
  int32_t count = 0;

  // Entry `index` (0-based) stands for an interval of index + 1: "%s%d" of the prefix and index + 1.
  // Empty outside 0 .. count - 1.
  std::string entry(int32_t index) const;
};

// Intervals of 1 .. the sample count, for the digital report.
IntervalList sampleIntervals(const MeasurementStore& store);

// Intervals of 1 .. the repetition count, for the repetition report.
IntervalList repetitionIntervals(const MeasurementStore& store);

}  // namespace velkora
