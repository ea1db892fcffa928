#include "reports/metrics_report.h"

#include <array>
#include <cstdio>

#include "reports/cell_format.h"

namespace velkora {
namespace {

struct KeyLabel {
  std::string_view key;
  MetricLabel label;
};

// Sample indices are milliseconds from the start of the recording.
constexpr std::array kLabels{
    KeyLabel{"sampleCount", {"Samples", ""}},
    KeyLabel{"storedBodyWeight_kg", {"Body weight (weighed)", "kg"}},
    KeyLabel{"bodyWeight_N", {"Body weight (quiet standing)", "N"}},
    KeyLabel{"bodyMass_kg", {"Body mass", "kg"}},
    KeyLabel{"quietSd_N", {"Quiet standing SD", "N"}},
    KeyLabel{"onsetThreshold_N", {"Onset threshold", "N"}},
    KeyLabel{"jumpType", {"Jump type", ""}},
    KeyLabel{"contactIndex", {"Contact at", "ms"}},
    KeyLabel{"onsetIndex", {"Onset at", "ms"}},
    KeyLabel{"brakingStartIndex", {"Braking start at", "ms"}},
    KeyLabel{"propulsionStartIndex", {"Propulsion start at", "ms"}},
    KeyLabel{"takeoffIndex", {"Take-off at", "ms"}},
    KeyLabel{"touchdownIndex", {"Touch-down at", "ms"}},
    KeyLabel{"peakLandingForceIndex", {"Peak landing force at", "ms"}},
    KeyLabel{"unweightingDuration_ms", {"Unweighting duration", "ms"}},
    KeyLabel{"brakingDuration_ms", {"Braking duration", "ms"}},
    KeyLabel{"propulsionDuration_ms", {"Propulsion duration", "ms"}},
    KeyLabel{"timeToTakeoff_ms", {"Time to take-off", "ms"}},
    KeyLabel{"contactTime_ms", {"Contact time", "ms"}},
    KeyLabel{"flightTime_ms", {"Flight time", "ms"}},
    KeyLabel{"takeoffVelocity_m_s", {"Take-off velocity", "m/s"}},
    KeyLabel{"jumpHeightTakeoffVelocity_cm", {"Jump height (take-off velocity)", "cm"}},
    KeyLabel{"jumpHeightFlightTime_cm", {"Jump height (flight time)", "cm"}},
    KeyLabel{"rsiModified_m_s", {"RSI-modified", "m/s"}},
    KeyLabel{"reactiveStrengthIndex_m_s", {"Reactive strength index", "m/s"}},
    KeyLabel{"countermovementDepth_cm", {"Countermovement depth", "cm"}},
    KeyLabel{"peakNegativeVelocity_m_s", {"Peak negative velocity", "m/s"}},
    KeyLabel{"brakingImpulse_Ns", {"Braking impulse", "N·s"}},
    KeyLabel{"propulsiveImpulse_Ns", {"Propulsive impulse", "N·s"}},
    KeyLabel{"meanBrakingForce_N", {"Mean braking force", "N"}},
    KeyLabel{"averageBrakingRfd_N_s", {"Average braking RFD", "N/s"}},
    KeyLabel{"forceAtZeroVelocity_N", {"Force at zero velocity", "N"}},
    KeyLabel{"meanPropulsiveForce_N", {"Mean propulsive force", "N"}},
    KeyLabel{"peakPropulsiveForce_N", {"Peak propulsive force", "N"}},
    KeyLabel{"meanPropulsivePower_W", {"Mean propulsive power", "W"}},
    KeyLabel{"peakPropulsivePower_W", {"Peak propulsive power", "W"}},
    KeyLabel{"peakLandingForce_N", {"Peak landing force", "N"}},
    KeyLabel{"repetitionCount", {"Repetitions", ""}},
    KeyLabel{"bestRepetition", {"Best repetition", ""}},
    KeyLabel{"endIndex", {"End at", "ms"}},
    KeyLabel{"peakForce_N", {"Peak force", "N"}},
    KeyLabel{"timeToPeak_ms", {"Time to peak", "ms"}},
    KeyLabel{"rfd0to50_N_s", {"RFD 0-50 ms", "N/s"}},
    KeyLabel{"rfd0to100_N_s", {"RFD 0-100 ms", "N/s"}},
    KeyLabel{"rfd0to200_N_s", {"RFD 0-200 ms", "N/s"}},
    KeyLabel{"rfd0to250_N_s", {"RFD 0-250 ms", "N/s"}},
    KeyLabel{"impulse0to100_Ns", {"Impulse 0-100 ms", "N·s"}},
    KeyLabel{"impulse0to200_Ns", {"Impulse 0-200 ms", "N·s"}},
    KeyLabel{"impulse0to300_Ns", {"Impulse 0-300 ms", "N·s"}},
    KeyLabel{"meanForce_N", {"Mean force", "N"}},
    KeyLabel{"averagePeakForce_N", {"Average peak force", "N"}},
    KeyLabel{"averageMeanForce_N", {"Average mean force", "N"}},
};

// The number with the locale's decimal mark in place of the '.' it is printed with.
std::string localised(std::string text) {
  const std::string_view point = localeDecimalPoint();
  const size_t dot = text.find('.');
  if (dot != std::string::npos && point != ".") text.replace(dot, 1, point);
  return text;
}

const Metric* find(const std::vector<Metric>& metrics, std::string_view key) {
  for (const Metric& m : metrics)
    if (m.key == key) return &m;
  return nullptr;
}

std::string numberOrNa(const Metric* metric, const char* format) {
  if (metric == nullptr || !metric->present) return "n/a";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, metric->value);
  return buffer;
}

}  // namespace

MetricLabel metricLabel(std::string_view key) {
  for (const KeyLabel& k : kLabels)
    if (k.key == key) return k.label;
  return {key, {}};
}

std::string metricValueCell(const Metric& metric) {
  if (!metric.present) return "n/a";
  if (metric.format == MetricFormat::Text) return std::string(metric.text);
  std::string text = localised(formatMetricValue(metric));
  const std::string_view unit = metricLabel(metric.key).unit;
  if (!unit.empty() && text != "n/a") text.append(" ").append(unit);
  return text;
}

void fillMetricsReport(const TestMetrics& metrics, DigitalReport& report) {
  ReportRows& rows = report.rows;
  report.columns = &metricsColumns;
  size_t rowCount = metrics.whole.size();
  for (const auto& repetition : metrics.repetitions) rowCount += 1 + repetition.size();
  rows.reset(metricsColumns.count, rowCount, rowCount * 40);

  // The whole-test copies of the best repetition's values say so.
  const bool force = metrics.kind == TestKind::Force;
  for (const Metric& m : metrics.whole) {
    std::string name(metricLabel(m.key).name);
    if (force && m.key != "sampleCount" && m.key != "repetitionCount" && m.key != "bestRepetition" &&
        !m.key.starts_with("average"))
      name += " (best repetition)";
    rows.appendCell(name);
    rows.appendCell(metricValueCell(m));
  }
  for (size_t r = 0; r < metrics.repetitions.size(); ++r) {
    rows.appendCell("Repetition " + std::to_string(r + 1));
    rows.appendCell({});
    for (const Metric& m : metrics.repetitions[r]) {
      rows.appendCell(metricLabel(m.key).name);
      rows.appendCell(metricValueCell(m));
    }
  }
}

void fillMetricsReport(const MeasurementStore& store, DigitalReport& report) {
  fillMetricsReport(computeTestMetrics(store, store.testKind), report);
}

std::string jumpFeedbackText(const TestMetrics& metrics) {
  const Metric* takeoff = find(metrics.whole, "takeoffIndex");
  if (takeoff == nullptr || !takeoff->present) return "No take-off found";
  const std::string jump = numberOrNa(find(metrics.whole, "jumpHeightTakeoffVelocity_cm"), "%.1f cm");
  const std::string flight = numberOrNa(find(metrics.whole, "jumpHeightFlightTime_cm"), "%.1f cm");
  const std::string rsi = numberOrNa(find(metrics.whole, "rsiModified_m_s"), "%.2f");
  return "Jump " + jump + " (flight " + flight + "), RSI-mod " + rsi;
}

}  // namespace velkora
