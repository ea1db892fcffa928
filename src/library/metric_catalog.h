#pragma once
// The metric keys the library knows, and what the lists and trends need to know about them.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "acquisition/measurement_store.h"

namespace velkora {

// A key of velkora-cli metrics: a power key, a whole-test force key, or "repK." and a repetition key
// (K from 1 to 25).
bool isKnownMetricKey(std::string_view key);

// The key without its "repK." prefix.
std::string_view baseMetricKey(std::string_view key);

// A metric with a text value (the jump type) rather than a number.
bool isTextMetric(std::string_view key);

// Metrics where less is better (times to reach something, contact times); for all others more is.
bool lowerIsBetter(std::string_view key);

// The metrics the library's lists show beside each test: jump height by take-off velocity and by flight
// time, RSI-modified and peak propulsive power (divided by the body mass for "per kg") for power tests;
// the best repetition's peak force, mean force and RFD 0-100 ms for force tests.
struct KeyMetric {
  std::string_view label;   // short, with its unit
  std::string_view key;     // the stored key
  std::string_view perKey;  // when not empty, the value is key / perKey
  int32_t decimals;
  std::string_view unit;
};
std::span<const KeyMetric> keyMetrics(TestKind kind);

}  // namespace velkora
