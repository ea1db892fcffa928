#pragma once
// Ticks of the library's graphs: a value axis in steps of 1, 2 or 5 times a power of ten, and a date
// axis in whole hours, days, weeks (from Monday), months or years of local time.

#include <cstdint>
#include <string>
#include <vector>

namespace velkora {

struct NiceAxis {
  double min = 0.0;  // the axis runs from min to max; ticks at min, min + step, ..., max
  double max = 1.0;
  double step = 1.0;
  int32_t decimals = 0;  // enough to tell neighbouring ticks apart
  int32_t ticks() const;
  double tick(int32_t k) const { return min + step * k; }
};

// An axis that holds low .. high with at most about `maxTicks` intervals. A range of one value is
// widened around it. Values must be finite.
NiceAxis niceAxis(double low, double high, int32_t maxTicks);

struct DateTick {
  int64_t time = 0;  // seconds since 1970
  std::string label;
};

// Ticks at local-time boundaries within first .. last, at most `maxTicks` of them, from the finest step
// that allows it: hours ("MM-DD HH:MM"), days and weeks ("YYYY-MM-DD"), months ("YYYY-MM") or years
// ("YYYY").
std::vector<DateTick> dateTicks(int64_t first, int64_t last, int32_t maxTicks);

// A number with the given decimals in the locale's decimal mark, as the program's reports print them.
std::string formatAxisNumber(double value, int32_t decimals);

}  // namespace velkora
