// TEMPORARY STAND-IN until the metrics branch lands; removed at the merge.
#include "reports/test_metrics.h"

#include <array>
#include <cstdio>

#include "reports/jump_analysis.h"

namespace velkora {
namespace {

constexpr std::array<std::string_view, 37> kPowerKeys = {"sampleCount",
                                                         "storedBodyWeight_kg",
                                                         "bodyWeight_N",
                                                         "bodyMass_kg",
                                                         "quietSd_N",
                                                         "onsetThreshold_N",
                                                         "jumpType",
                                                         "contactIndex",
                                                         "onsetIndex",
                                                         "brakingStartIndex",
                                                         "propulsionStartIndex",
                                                         "takeoffIndex",
                                                         "touchdownIndex",
                                                         "peakLandingForceIndex",
                                                         "unweightingDuration_ms",
                                                         "brakingDuration_ms",
                                                         "propulsionDuration_ms",
                                                         "timeToTakeoff_ms",
                                                         "contactTime_ms",
                                                         "flightTime_ms",
                                                         "takeoffVelocity_m_s",
                                                         "jumpHeightTakeoffVelocity_cm",
                                                         "jumpHeightFlightTime_cm",
                                                         "rsiModified_m_s",
                                                         "reactiveStrengthIndex_m_s",
                                                         "countermovementDepth_cm",
                                                         "peakNegativeVelocity_m_s",
                                                         "brakingImpulse_Ns",
                                                         "propulsiveImpulse_Ns",
                                                         "meanBrakingForce_N",
                                                         "averageBrakingRfd_N_s",
                                                         "forceAtZeroVelocity_N",
                                                         "meanPropulsiveForce_N",
                                                         "peakPropulsiveForce_N",
                                                         "meanPropulsivePower_W",
                                                         "peakPropulsivePower_W",
                                                         "peakLandingForce_N"};
constexpr std::array<std::string_view, 15> kForceKeys = {
    "sampleCount",      "repetitionCount",  "bestRepetition", "peakForce_N",        "timeToPeak_ms",
    "rfd0to50_N_s",     "rfd0to100_N_s",    "rfd0to200_N_s",  "rfd0to250_N_s",      "impulse0to100_Ns",
    "impulse0to200_Ns", "impulse0to300_Ns", "meanForce_N",    "averagePeakForce_N", "averageMeanForce_N"};
constexpr std::array<std::string_view, 12> kRepKeys = {
    "onsetIndex",    "endIndex",      "peakForce_N",      "timeToPeak_ms",    "rfd0to50_N_s",     "rfd0to100_N_s",
    "rfd0to200_N_s", "rfd0to250_N_s", "impulse0to100_Ns", "impulse0to200_Ns", "impulse0to300_Ns", "meanForce_N"};

MetricFormat formatOf(std::string_view key) {
  if (key == "jumpType") return MetricFormat::Text;
  if (key.ends_with("Index") || key.ends_with("_ms") || key == "sampleCount" || key == "repetitionCount" ||
      key == "bestRepetition")
    return MetricFormat::Integer;
  if (key.ends_with("_N_s")) return MetricFormat::Fixed0;
  if (key.ends_with("_m_s")) return MetricFormat::Fixed3;
  if (key.ends_with("_N") || key.ends_with("_W")) return MetricFormat::Fixed1;
  return MetricFormat::Fixed2;
}

Metric na(std::string_view key) { return {key, formatOf(key), false, 0.0, {}}; }
Metric value(std::string_view key, double v) { return {key, formatOf(key), true, v, {}}; }

double force(const MeasurementStore& store, int32_t i) { return forceAt(store, i, ForceChannel::Vertical); }

}  // namespace

std::span<const std::string_view> powerMetricKeys() { return kPowerKeys; }
std::span<const std::string_view> forceMetricKeys() { return kForceKeys; }
std::span<const std::string_view> repetitionMetricKeys() { return kRepKeys; }

std::string formatMetricValue(const Metric& metric) {
  if (!metric.present) return "n/a";
  if (metric.format == MetricFormat::Text) return std::string(metric.text);
  char text[64];
  switch (metric.format) {
    case MetricFormat::Integer:
      std::snprintf(text, sizeof text, "%d", static_cast<int>(metric.value));
      break;
    default:
      std::snprintf(text, sizeof text, "%.*f", static_cast<int>(metric.format) - 1, metric.value);
  }
  return text;
}

TestMetrics computeTestMetrics(const MeasurementStore& store, TestKind kind) {
  TestMetrics result{kind, {}, {}};
  const int32_t n = store.sampleCount.load();
  if (kind == TestKind::Power) {
    for (std::string_view key : kPowerKeys) result.whole.push_back(na(key));
    result.whole[0] = value("sampleCount", n);
    result.whole[1] = value("storedBodyWeight_kg", store.bodyWeight);
    if (n < 1000) return result;
    double bw = 0;
    for (int32_t i = 0; i < 1000; ++i) bw += force(store, i);
    bw /= 1000;
    result.whole[2] = value("bodyWeight_N", bw);
    result.whole[3] = value("bodyMass_kg", bw / 9.81);
    const JumpHeights h = computeJumpHeights(store, store.bodyWeight);
    if (h.takeOffIndex > 0 && h.takeOffIndex < n) {
      result.whole[6] = {"jumpType", MetricFormat::Text, true, 0.0, "CMJ"};
      result.whole[11] = value("takeoffIndex", h.takeOffIndex);
      if (h.touchDownIndex > h.takeOffIndex) {
        result.whole[12] = value("touchdownIndex", h.touchDownIndex);
        result.whole[19] = value("flightTime_ms", h.flightTime);
        result.whole[22] = value("jumpHeightFlightTime_cm", h.heightByFlightTime);
      }
      result.whole[21] = value("jumpHeightTakeoffVelocity_cm", h.heightByImpulse * 100.0);
    }
    return result;
  }
  // Runs of vertical counts above 70 that end before the recording does.
  std::vector<std::pair<int32_t, int32_t>> runs;
  int32_t start = -1;
  for (int32_t i = 0; i < n; ++i) {
    const bool above = store.channels.vertical[i] > 70;
    if (above && start < 0) start = i;
    if (!above && start >= 0) {
      runs.emplace_back(start, i - 1);
      start = -1;
    }
  }
  int32_t best = -1;
  double bestPeak = 0;
  for (const auto& [a, e] : runs) {
    std::vector<Metric> rep;
    for (std::string_view key : kRepKeys) rep.push_back(na(key));
    double peak = force(store, a), sum = 0;
    int32_t peakAt = a;
    for (int32_t i = a; i <= e; ++i) {
      if (force(store, i) > peak) peak = force(store, i), peakAt = i;
      sum += force(store, i);
    }
    rep[0] = value("onsetIndex", a);
    rep[1] = value("endIndex", e);
    rep[2] = value("peakForce_N", peak);
    rep[3] = value("timeToPeak_ms", peakAt - a);
    if (a + 100 <= e) rep[5] = value("rfd0to100_N_s", (force(store, a + 100) - force(store, a)) / 0.1);
    rep[11] = value("meanForce_N", sum / (e - a + 1));
    if (best < 0 || peak > bestPeak) best = static_cast<int32_t>(result.repetitions.size()), bestPeak = peak;
    result.repetitions.push_back(rep);
  }
  for (std::string_view key : kForceKeys) result.whole.push_back(na(key));
  result.whole[0] = value("sampleCount", n);
  result.whole[1] = value("repetitionCount", static_cast<double>(runs.size()));
  if (best >= 0) {
    result.whole[2] = value("bestRepetition", best + 1);
    const auto& rep = result.repetitions[static_cast<size_t>(best)];
    for (size_t k = 2; k < rep.size(); ++k) result.whole[k + 1] = rep[k];
  }
  return result;
}

}  // namespace velkora
