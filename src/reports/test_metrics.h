#pragma once
// The metrics coaches read from one test: the phases of a jump (heights, durations, impulses, forces,
// power) for a power test, and peak force, rate of force development and impulse over fixed time bands
// for every repetition of a force test. Each metric has a fixed key, a print format and either a value
// or none ("n/a"): a value that does not exist for the recording is never made up.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/measurement_store.h"

namespace velkora {

enum class MetricFormat : int32_t { Integer, Fixed0, Fixed1, Fixed2, Fixed3, Text };

struct Metric {
  std::string_view key;  // static text, e.g. "jumpHeightTakeoffVelocity_cm" (no "repK." prefix)
  MetricFormat format = MetricFormat::Fixed2;
  bool present = false;   // false: n/a
  double value = 0.0;     // the unrounded number (integers as exact doubles); unused for Text
  std::string_view text;  // Text metrics (jumpType): "CMJ", "SJ", "DJ", "none"
};

struct TestMetrics {
  TestKind kind = TestKind::Force;
  std::vector<Metric> whole;                     // power keys, or the force whole-test keys, in table order
  std::vector<std::vector<Metric>> repetitions;  // force tests: per repetition, the per-repetition keys in order
};

// Metrics of the store's recording read as `kind` (samples, calibration and stored body weight of the
// store). They are computed from the vertical forces alone and do not need the jump analysis to have run.
TestMetrics computeTestMetrics(const MeasurementStore& store, TestKind kind);

std::span<const std::string_view> powerMetricKeys();       // in table order
std::span<const std::string_view> forceMetricKeys();       // whole-test keys in order
std::span<const std::string_view> repetitionMetricKeys();  // per-repetition keys in order

// The printed value: C locale whatever the process locale, printf rounding, "n/a" when absent.
std::string formatMetricValue(const Metric& metric);

// Decimals a value of the format is printed with (0 for integers and text).
int32_t metricDecimals(MetricFormat format);

}  // namespace velkora
