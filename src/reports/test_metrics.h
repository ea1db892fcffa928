#pragma once
// TEMPORARY STAND-IN until the metrics branch lands: the declarations the library is written against,
// with a rough implementation. Removed at the merge.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/measurement_store.h"

namespace velkora {

enum class MetricFormat : int32_t { Integer, Fixed0, Fixed1, Fixed2, Fixed3, Text };

struct Metric {
  std::string_view key;
  MetricFormat format;
  bool present;
  double value;
  std::string_view text;
};

struct TestMetrics {
  TestKind kind;
  std::vector<Metric> whole;
  std::vector<std::vector<Metric>> repetitions;
};

TestMetrics computeTestMetrics(const MeasurementStore& store, TestKind kind);
std::span<const std::string_view> powerMetricKeys();
std::span<const std::string_view> forceMetricKeys();
std::span<const std::string_view> repetitionMetricKeys();
std::string formatMetricValue(const Metric& metric);

}  // namespace velkora
