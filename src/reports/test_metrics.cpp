#include "reports/test_metrics.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "acquisition/repetition_rule.h"
#include "reports/kinematics_model.h"

namespace velkora {
namespace {

struct KeyFormat {
  std::string_view key;
  MetricFormat format;
};

using enum MetricFormat;

// Power-test keys in table order; the enum below names their positions.
constexpr std::array kPowerTable{
    KeyFormat{"sampleCount", Integer},
    KeyFormat{"storedBodyWeight_kg", Fixed2},
    KeyFormat{"bodyWeight_N", Fixed1},
    KeyFormat{"bodyMass_kg", Fixed2},
    KeyFormat{"quietSd_N", Fixed2},
    KeyFormat{"onsetThreshold_N", Fixed2},
    KeyFormat{"jumpType", Text},
    KeyFormat{"contactIndex", Integer},
    KeyFormat{"onsetIndex", Integer},
    KeyFormat{"brakingStartIndex", Integer},
    KeyFormat{"propulsionStartIndex", Integer},
    KeyFormat{"takeoffIndex", Integer},
    KeyFormat{"touchdownIndex", Integer},
    KeyFormat{"peakLandingForceIndex", Integer},
    KeyFormat{"unweightingDuration_ms", Integer},
    KeyFormat{"brakingDuration_ms", Integer},
    KeyFormat{"propulsionDuration_ms", Integer},
    KeyFormat{"timeToTakeoff_ms", Integer},
    KeyFormat{"contactTime_ms", Integer},
    KeyFormat{"flightTime_ms", Integer},
    KeyFormat{"takeoffVelocity_m_s", Fixed3},
    KeyFormat{"jumpHeightTakeoffVelocity_cm", Fixed2},
    KeyFormat{"jumpHeightFlightTime_cm", Fixed2},
    KeyFormat{"rsiModified_m_s", Fixed3},
    KeyFormat{"reactiveStrengthIndex_m_s", Fixed3},
    KeyFormat{"countermovementDepth_cm", Fixed2},
    KeyFormat{"peakNegativeVelocity_m_s", Fixed3},
    KeyFormat{"brakingImpulse_Ns", Fixed2},
    KeyFormat{"propulsiveImpulse_Ns", Fixed2},
    KeyFormat{"meanBrakingForce_N", Fixed1},
    KeyFormat{"averageBrakingRfd_N_s", Fixed0},
    KeyFormat{"forceAtZeroVelocity_N", Fixed1},
    KeyFormat{"meanPropulsiveForce_N", Fixed1},
    KeyFormat{"peakPropulsiveForce_N", Fixed1},
    KeyFormat{"meanPropulsivePower_W", Fixed1},
    KeyFormat{"peakPropulsivePower_W", Fixed1},
    KeyFormat{"peakLandingForce_N", Fixed1},
};

enum PowerKey : size_t {
  SampleCount,
  StoredBodyWeight,
  BodyWeight,
  BodyMass,
  QuietSd,
  OnsetThreshold,
  JumpType,
  ContactIndex,
  OnsetIndex,
  BrakingStartIndex,
  PropulsionStartIndex,
  TakeoffIndex,
  TouchdownIndex,
  PeakLandingForceIndex,
  UnweightingDuration,
  BrakingDuration,
  PropulsionDuration,
  TimeToTakeoff,
  ContactTime,
  FlightTime,
  TakeoffVelocity,
  JumpHeightTakeoffVelocity,
  JumpHeightFlightTime,
  RsiModified,
  ReactiveStrengthIndex,
  CountermovementDepth,
  PeakNegativeVelocity,
  BrakingImpulse,
  PropulsiveImpulse,
  MeanBrakingForce,
  AverageBrakingRfd,
  ForceAtZeroVelocity,
  MeanPropulsiveForce,
  PeakPropulsiveForce,
  MeanPropulsivePower,
  PeakPropulsivePower,
  PeakLandingForce,
  PowerKeyCount,
};
static_assert(PowerKeyCount == kPowerTable.size());

// Per-repetition keys; the whole test repeats those from peakForce_N on for its best repetition.
constexpr std::array kRepetitionTable{
    KeyFormat{"onsetIndex", Integer},      KeyFormat{"endIndex", Integer},        KeyFormat{"peakForce_N", Fixed1},
    KeyFormat{"timeToPeak_ms", Integer},   KeyFormat{"rfd0to50_N_s", Fixed0},     KeyFormat{"rfd0to100_N_s", Fixed0},
    KeyFormat{"rfd0to200_N_s", Fixed0},    KeyFormat{"rfd0to250_N_s", Fixed0},    KeyFormat{"impulse0to100_Ns", Fixed2},
    KeyFormat{"impulse0to200_Ns", Fixed2}, KeyFormat{"impulse0to300_Ns", Fixed2}, KeyFormat{"meanForce_N", Fixed1},
};
constexpr size_t kRepetitionValuesFrom = 2;  // peakForce_N
constexpr std::array kRfdBands{50, 100, 200, 250};
constexpr std::array kImpulseBands{100, 200, 300};

constexpr size_t kForceKeyCount = 3 + (kRepetitionTable.size() - kRepetitionValuesFrom) + 2;

template <size_t N>
constexpr std::array<std::string_view, N> keysOf(const std::array<KeyFormat, N>& table) {
  std::array<std::string_view, N> keys{};
  for (size_t i = 0; i < N; ++i) keys[i] = table[i].key;
  return keys;
}

constexpr std::array kPowerKeys = keysOf(kPowerTable);
constexpr std::array kRepetitionKeys = keysOf(kRepetitionTable);

constexpr std::array<KeyFormat, kForceKeyCount> forceTable() {
  std::array<KeyFormat, kForceKeyCount> table{};
  size_t k = 0;
  table[k++] = {"sampleCount", Integer};
  table[k++] = {"repetitionCount", Integer};
  table[k++] = {"bestRepetition", Integer};
  for (size_t i = kRepetitionValuesFrom; i < kRepetitionTable.size(); ++i) table[k++] = kRepetitionTable[i];
  table[k++] = {"averagePeakForce_N", Fixed1};
  table[k++] = {"averageMeanForce_N", Fixed1};
  return table;
}
constexpr std::array kForceTable = forceTable();
constexpr std::array kForceKeys = keysOf(kForceTable);

template <size_t N>
std::vector<Metric> absentMetrics(const std::array<KeyFormat, N>& table) {
  std::vector<Metric> metrics(N);
  for (size_t i = 0; i < N; ++i) {
    metrics[i].key = table[i].key;
    metrics[i].format = table[i].format;
  }
  return metrics;
}

// A value that could not be computed (non-finite forces from a hostile calibration) stays n/a.
void set(std::vector<Metric>& metrics, size_t index, double value) {
  if (!std::isfinite(value)) return;
  metrics[index].present = true;
  metrics[index].value = value;
}

void setText(std::vector<Metric>& metrics, size_t index, std::string_view text) {
  metrics[index].present = true;
  metrics[index].text = text;
}

// The vertical forces of the recording, widened to double.
int32_t readForces(const MeasurementStore& store, std::vector<double>& work, size_t arrays) {
  const int32_t n = std::clamp(store.sampleCount.load(std::memory_order_acquire), 0, kMaxSamples);
  work.resize(static_cast<size_t>(n) * arrays);
  for (int32_t i = 0; i < n; ++i) work[i] = forceAt(store, i, ForceChannel::Vertical);
  return n;
}

// Mean and largest force and power over [from, to); false for an empty range.
struct RangeStats {
  double meanForce = 0.0, peakForce = 0.0, meanPower = 0.0, peakPower = 0.0;
};
bool rangeStats(std::span<const double> force, std::span<const double> velocity, int32_t from, int32_t to,
                RangeStats& stats) {
  if (from < 0 || from >= to) return false;
  double forceSum = 0.0, powerSum = 0.0;
  stats.peakForce = force[from];
  stats.peakPower = force[from] * velocity[from];
  for (int32_t i = from; i < to; ++i) {
    const double power = force[i] * velocity[i];
    forceSum += force[i];
    powerSum += power;
    stats.peakForce = std::max(stats.peakForce, force[i]);
    stats.peakPower = std::max(stats.peakPower, power);
  }
  stats.meanForce = forceSum / (to - from);
  stats.meanPower = powerSum / (to - from);
  return true;
}

double flightHeightCm(int32_t flightMs) {
  const double t = flightMs / 1000.0;
  return 100 * kGravity * t * t / 8;
}

void setFlight(std::vector<Metric>& m, std::span<const double> force, const JumpKinematics& k) {
  set(m, TakeoffIndex, k.takeOff);
  if (k.touchDown < 0) return;
  set(m, TouchdownIndex, k.touchDown);
  set(m, PeakLandingForceIndex, k.peakLanding);
  set(m, PeakLandingForce, force[k.peakLanding]);
  set(m, FlightTime, k.touchDown - k.takeOff);
  set(m, JumpHeightFlightTime, flightHeightCm(k.touchDown - k.takeOff));
}

void powerMetrics(const MeasurementStore& store, std::vector<Metric>& m) {
  std::vector<double> work;
  const int32_t n = readForces(store, work, 3);
  set(m, SampleCount, n);
  set(m, StoredBodyWeight, store.bodyWeight);
  const std::span<double> force(work.data(), static_cast<size_t>(n));
  const std::span<double> v(work.data() + n, static_cast<size_t>(n));
  const std::span<double> s(work.data() + 2 * static_cast<size_t>(n), static_cast<size_t>(n));
  const JumpKinematics k = computeKinematics(force, v, s);

  switch (k.outcome) {
    case JumpOutcome::TooShort:
      return;
    case JumpOutcome::DropJump:
      setText(m, JumpType, "DJ");
      if (k.contact >= 0) set(m, ContactIndex, k.contact);
      if (k.takeOff < 0) return;
      setFlight(m, force, k);
      set(m, ContactTime, k.takeOff - k.contact);
      if (k.touchDown >= 0)
        set(m, ReactiveStrengthIndex,
            (flightHeightCm(k.touchDown - k.takeOff) / 100) / ((k.takeOff - k.contact) / 1000.0));
      return;
    case JumpOutcome::EarlyTakeOff:
      setFlight(m, force, k);
      return;
    default:
      break;
  }

  const QuietStanding& q = k.quiet;
  set(m, BodyWeight, q.bodyWeight);
  set(m, BodyMass, q.mass);
  set(m, QuietSd, q.sd);
  set(m, OnsetThreshold, q.threshold);
  if (k.outcome == JumpOutcome::NoTakeOff) {
    setText(m, JumpType, "none");
    return;
  }
  setFlight(m, force, k);
  if (k.outcome != JumpOutcome::Modelled) return;  // no onset: the jump type is n/a too

  const int32_t onset = k.onset, B = k.brakingStart, P = k.propulsionStart, TO = k.takeOff;
  const bool cmj = B >= 0;
  setText(m, JumpType, cmj ? "CMJ" : "SJ");
  set(m, OnsetIndex, onset);
  set(m, TimeToTakeoff, TO - onset);
  set(m, TakeoffVelocity, v[TO]);
  if (v[TO] > 0) {
    const double heightCm = 100 * v[TO] * v[TO] / (2 * kGravity);
    set(m, JumpHeightTakeoffVelocity, heightCm);
    set(m, RsiModified, (heightCm / 100) / ((TO - onset) / 1000.0));
  }
  if (cmj) {
    set(m, BrakingStartIndex, B);
    set(m, UnweightingDuration, B - onset);
    set(m, CountermovementDepth, -100 * *std::min_element(s.begin() + onset, s.begin() + TO + 1));
    set(m, PeakNegativeVelocity, v[B]);
  }
  if (P < 0) return;
  set(m, PropulsionStartIndex, P);
  set(m, PropulsionDuration, TO - P);
  set(m, PropulsiveImpulse, q.mass * (v[TO] - v[P]));
  RangeStats stats;
  if (rangeStats(force, v, P, TO, stats)) {
    set(m, MeanPropulsiveForce, stats.meanForce);
    set(m, PeakPropulsiveForce, stats.peakForce);
    set(m, MeanPropulsivePower, stats.meanPower);
    set(m, PeakPropulsivePower, stats.peakPower);
  }
  if (!cmj) return;
  set(m, BrakingDuration, P - B);
  set(m, BrakingImpulse, q.mass * (v[P] - v[B]));
  if (rangeStats(force, v, B, P, stats)) set(m, MeanBrakingForce, stats.meanForce);
  set(m, AverageBrakingRfd, (force[P] - force[B]) / ((P - B) / 1000.0));
  set(m, ForceAtZeroVelocity, force[P]);
}

// The values of one repetition over [a, e], from peakForce_N on, into `metrics` starting at `at`.
void repetitionValues(std::span<const double> force, int32_t a, int32_t e, std::vector<Metric>& metrics, size_t at) {
  int32_t peak = a;
  double sum = 0.0;
  for (int32_t i = a; i <= e; ++i) {
    if (force[i] > force[peak]) peak = i;
    sum += force[i];
  }
  set(metrics, at++, force[peak]);
  set(metrics, at++, peak - a);
  for (int32_t x : kRfdBands) {
    if (a + x <= e) set(metrics, at, (force[a + x] - force[a]) / (x / 1000.0));
    ++at;
  }
  for (int32_t x : kImpulseBands) {
    if (a + x <= e) {
      double impulse = 0.0;
      for (int32_t i = a; i < a + x; ++i) impulse += kHalfSample * (force[i] + force[i + 1]);
      set(metrics, at, impulse);
    }
    ++at;
  }
  set(metrics, at, sum / (e - a + 1));
}

void forceMetrics(const MeasurementStore& store, TestMetrics& result) {
  std::vector<double> work;
  const int32_t n = readForces(store, work, 1);
  const std::span<const double> force(work.data(), static_cast<size_t>(n));
  std::vector<Metric>& whole = result.whole;

  // The recorder's rule: a repetition is a run of vertical counts above the threshold that ends
  // before the recording does.
  std::vector<std::pair<int32_t, int32_t>> runs;
  RepetitionTracker tracker;
  int32_t start = -1;
  for (int32_t i = 0; i < n; ++i) {
    switch (tracker.feed(store.channels.vertical[i], 0)) {
      case RepetitionStep::Inside:
        if (start < 0) start = i;
        break;
      case RepetitionStep::Ended:
        runs.emplace_back(start, i - 1);
        start = -1;
        tracker.reset();
        break;
      case RepetitionStep::Outside:
        break;
    }
  }

  set(whole, 0, n);
  set(whole, 1, static_cast<double>(runs.size()));
  if (runs.empty()) return;
  double peakSum = 0.0, meanSum = 0.0;
  size_t best = 0;
  for (const auto& [a, e] : runs) {
    std::vector<Metric> rep = absentMetrics(kRepetitionTable);
    set(rep, 0, a);
    set(rep, 1, e);
    repetitionValues(force, a, e, rep, kRepetitionValuesFrom);
    // A value left n/a (non-finite forces) makes the average n/a as well.
    peakSum += rep[kRepetitionValuesFrom].present ? rep[kRepetitionValuesFrom].value : NAN;
    meanSum += rep.back().present ? rep.back().value : NAN;
    result.repetitions.push_back(std::move(rep));
  }
  for (size_t r = 1; r < result.repetitions.size(); ++r)
    if (result.repetitions[r][kRepetitionValuesFrom].value > result.repetitions[best][kRepetitionValuesFrom].value)
      best = r;
  set(whole, 2, static_cast<double>(best + 1));
  const std::vector<Metric>& bestRep = result.repetitions[best];
  for (size_t i = kRepetitionValuesFrom; i < bestRep.size(); ++i) whole[3 + i - kRepetitionValuesFrom] = bestRep[i];
  set(whole, kForceKeyCount - 2, peakSum / static_cast<double>(runs.size()));
  set(whole, kForceKeyCount - 1, meanSum / static_cast<double>(runs.size()));
}

}  // namespace

TestMetrics computeTestMetrics(const MeasurementStore& store, TestKind kind) {
  TestMetrics result;
  result.kind = kind;
  if (kind == TestKind::Power) {
    result.whole = absentMetrics(kPowerTable);
    powerMetrics(store, result.whole);
  } else {
    result.whole = absentMetrics(kForceTable);
    forceMetrics(store, result);
  }
  return result;
}

int32_t metricDecimals(MetricFormat format) {
  switch (format) {
    case Fixed1:
      return 1;
    case Fixed2:
      return 2;
    case Fixed3:
      return 3;
    default:
      return 0;
  }
}

std::span<const std::string_view> powerMetricKeys() { return kPowerKeys; }
std::span<const std::string_view> forceMetricKeys() { return kForceKeys; }
std::span<const std::string_view> repetitionMetricKeys() { return kRepetitionKeys; }

std::string formatMetricValue(const Metric& metric) {
  if (!metric.present) return "n/a";
  if (metric.format == Text) return std::string(metric.text);
  if (!std::isfinite(metric.value)) return "n/a";
  char buffer[400];
  std::to_chars_result r;
  if (metric.format == Integer)
    r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(metric.value));
  else  // formatted as printf("%.Nf") does in the C locale, whatever LC_NUMERIC says
    r = std::to_chars(buffer, buffer + sizeof buffer, metric.value, std::chars_format::fixed,
                      metricDecimals(metric.format));
  if (r.ec != std::errc()) return "n/a";
  return std::string(buffer, r.ptr);
}

}  // namespace velkora
