#include "library/metric_catalog.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "reports/test_metrics.h"

namespace velkora {
namespace {

constexpr std::array<KeyMetric, 4> kPowerKeyMetrics = {{
    {"jump", "jumpHeightTakeoffVelocity_cm", "", 2, "cm"},
    {"flight", "jumpHeightFlightTime_cm", "", 2, "cm"},
    {"RSI-mod", "rsiModified_m_s", "", 3, "m/s"},
    {"peak power", "peakPropulsivePower_W", "bodyMass_kg", 2, "W/kg"},
}};

constexpr std::array<KeyMetric, 3> kForceKeyMetrics = {{
    {"peak", "peakForce_N", "", 1, "N"},
    {"mean", "meanForce_N", "", 1, "N"},
    {"RFD 0-100 ms", "rfd0to100_N_s", "", 0, "N/s"},
}};

constexpr std::array<std::string_view, 4> kLowerIsBetter = {"timeToTakeoff_ms", "contactTime_ms", "timeToPeak_ms",
                                                            "unweightingDuration_ms"};

bool contains(std::span<const std::string_view> keys, std::string_view key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The repetition number of a "repK." key, 0 for others.
int32_t repetitionOf(std::string_view key, std::string_view& rest) {
  rest = key;
  if (!key.starts_with("rep")) return 0;
  const size_t dot = key.find('.');
  if (dot == std::string_view::npos || dot == 3) return 0;
  int32_t k = 0;
  const auto [end, error] = std::from_chars(key.data() + 3, key.data() + dot, k);
  if (error != std::errc() || end != key.data() + dot || key[3] == '0') return 0;
  rest = key.substr(dot + 1);
  return k;
}

}  // namespace

bool isKnownMetricKey(std::string_view key) {
  std::string_view rest;
  const int32_t k = repetitionOf(key, rest);
  if (k > 0) return k <= kMaxRepetitions && contains(repetitionMetricKeys(), rest);
  return contains(powerMetricKeys(), key) || contains(forceMetricKeys(), key);
}

std::string_view baseMetricKey(std::string_view key) {
  std::string_view rest;
  repetitionOf(key, rest);
  return rest;
}

bool isTextMetric(std::string_view key) { return baseMetricKey(key) == "jumpType"; }

bool lowerIsBetter(std::string_view key) { return contains(kLowerIsBetter, baseMetricKey(key)); }

std::span<const KeyMetric> keyMetrics(TestKind kind) {
  if (kind == TestKind::Power) return kPowerKeyMetrics;
  return kForceKeyMetrics;
}

}  // namespace velkora
