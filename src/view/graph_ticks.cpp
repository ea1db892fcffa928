#include "view/graph_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace velkora {
namespace {

enum class Unit { Hour, Day, Week, Month, Year };

struct DateStep {
  Unit unit;
  int32_t count;
};

constexpr DateStep kDateSteps[] = {
    {Unit::Hour, 1},  {Unit::Hour, 2},  {Unit::Hour, 3},  {Unit::Hour, 6},  {Unit::Hour, 12},
    {Unit::Day, 1},   {Unit::Day, 2},   {Unit::Week, 1},  {Unit::Week, 2},  {Unit::Month, 1},
    {Unit::Month, 2}, {Unit::Month, 3}, {Unit::Month, 6}, {Unit::Year, 1},  {Unit::Year, 2},
    {Unit::Year, 5},  {Unit::Year, 10}, {Unit::Year, 20}, {Unit::Year, 50}, {Unit::Year, 100},
};

// The step's boundary at or before `time`, in local time.
std::tm alignedStart(int64_t time, DateStep step) {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm tm{};
  localtime_r(&t, &tm);
  tm.tm_sec = 0;
  tm.tm_min = 0;
  if (step.unit == Unit::Hour) {
    tm.tm_hour -= tm.tm_hour % step.count;
  } else {
    tm.tm_hour = 0;
    switch (step.unit) {
      case Unit::Day:
        tm.tm_mday -= (tm.tm_mday - 1) % step.count;
        break;
      case Unit::Week:
        tm.tm_mday -= (tm.tm_wday + 6) % 7;  // back to Monday
        break;
      case Unit::Month:
        tm.tm_mday = 1;
        tm.tm_mon -= tm.tm_mon % step.count;
        break;
      case Unit::Year: {
        tm.tm_mday = 1;
        tm.tm_mon = 0;
        const int32_t year = tm.tm_year + 1900;
        tm.tm_year -= ((year % step.count) + step.count) % step.count;
        break;
      }
      case Unit::Hour:
        break;
    }
  }
  tm.tm_isdst = -1;
  return tm;
}

// The k-th boundary after the aligned start.
int64_t boundary(std::tm start, DateStep step, int32_t k) {
  switch (step.unit) {
    case Unit::Hour:
      start.tm_hour += step.count * k;
      break;
    case Unit::Day:
      start.tm_mday += step.count * k;
      break;
    case Unit::Week:
      start.tm_mday += 7 * step.count * k;
      break;
    case Unit::Month:
      start.tm_mon += step.count * k;
      break;
    case Unit::Year:
      start.tm_year += step.count * k;
      break;
  }
  start.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&start));
}

const char* labelFormat(Unit unit) {
  switch (unit) {
    case Unit::Hour:
      return "%m-%d %H:%M";
    case Unit::Day:
    case Unit::Week:
      return "%Y-%m-%d";
    case Unit::Month:
      return "%Y-%m";
    case Unit::Year:
      return "%Y";
  }
  return "%Y-%m-%d";
}

std::string dateLabel(int64_t time, Unit unit) {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm tm{};
  char text[32] = "";
  if (localtime_r(&t, &tm) != nullptr) std::strftime(text, sizeof text, labelFormat(unit), &tm);
  return text;
}

}  // namespace

int32_t NiceAxis::ticks() const {
  if (!(step > 0)) return 1;
  return static_cast<int32_t>(std::llround((max - min) / step)) + 1;
}

NiceAxis niceAxis(double low, double high, int32_t maxTicks) {
  if (high < low) std::swap(low, high);
  if (high == low) {
    const double pad = low == 0.0 ? 1.0 : std::fabs(low) * 0.1;
    low -= pad;
    high += pad;
  }
  maxTicks = std::max(maxTicks, 1);
  const double raw = (high - low) / maxTicks;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double normalised = raw / magnitude;
  const double factor = normalised <= 1.0 ? 1.0 : normalised <= 2.0 ? 2.0 : normalised <= 5.0 ? 5.0 : 10.0;
  NiceAxis axis;
  axis.step = factor * magnitude;
  axis.min = std::floor(low / axis.step) * axis.step;
  axis.max = std::ceil(high / axis.step) * axis.step;
  axis.decimals = std::clamp(static_cast<int32_t>(-std::floor(std::log10(axis.step) + 1e-9)), 0, 9);
  return axis;
}

std::vector<DateTick> dateTicks(int64_t first, int64_t last, int32_t maxTicks) {
  if (last < first) std::swap(first, last);
  maxTicks = std::max(maxTicks, 1);
  for (const DateStep& step : kDateSteps) {
    const std::tm start = alignedStart(first, step);
    std::vector<DateTick> ticks;
    bool tooMany = false;
    for (int32_t k = 0;; ++k) {
      const int64_t time = boundary(start, step, k);
      if (time > last) break;
      if (time < first) continue;
      if (static_cast<int32_t>(ticks.size()) == maxTicks) {
        tooMany = true;
        break;
      }
      ticks.push_back({time, dateLabel(time, step.unit)});
    }
    if (!tooMany) return ticks;
  }
  return {};
}

std::string formatAxisNumber(double value, int32_t decimals) {
  if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;  // no "-0.0"
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", static_cast<int>(decimals), value);
  return text;
}

}  // namespace velkora
