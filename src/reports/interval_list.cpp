#include "reports/interval_list.h"

#include <cstdio>

namespace velkora {

std::string IntervalList::entry(int32_t index) const {
  if (index < 0 || index >= count) return {};
  char number[16];
  const int len = std::snprintf(number, sizeof number, "%d", index + 1);
  std::string text;
  text.reserve(prefix.size() + static_cast<size_t>(len));
  text.append(prefix);
  text.append(number, static_cast<size_t>(len));
  return text;
}

IntervalList sampleIntervals(const MeasurementStore& store) {
  int32_t n = store.sampleCount.load(std::memory_order_acquire);
  if (n < 0) n = 0;
  if (n > kMaxSamples) n = kMaxSamples;
  return {kTimeIntervalPrefix, n};
}

IntervalList repetitionIntervals(const MeasurementStore& store) {
  return {kRepetitionIntervalPrefix, store.repetitions.rows()};
}

}  // namespace velkora
