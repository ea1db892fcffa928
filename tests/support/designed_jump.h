#pragma once
// A countermovement jump built from a designed motion of the centre of mass, sampled as the plate
// would: F = m (g + a(t)) in whole newtons, with noise while the subject stands. The motion:
// - quiet standing with noise (and optional sway bumps);
// - from `start`: a countermovement s(t) = -depth (1 - cos(pi t / T1)) / 2 over T1, which starts with a
//   step in acceleration (so its first sample is the excursion), reaches its lowest velocity at T1 / 2
//   and is at rest at the bottom at T1;
// - a push over T2 with a(u) = a1 + (-g - a1) u + k u (1 - u), u = t / T2, continuous with the
//   countermovement, its integral the take-off velocity, and the force down to 0 exactly at take-off;
// - the flight back to the take-off height, 2 v / g;
// - a landing over T3 with a(u) = -g + g u + c sin(pi u) that takes the velocity back to 0, then
//   standing with noise.

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "acquisition/measurement_store.h"

namespace velkora::testing {

struct ForceBump {
  int32_t start;
  int32_t samples;
  double newtons;
};

struct DesignedJump {
  double mass = 75.0;
  int32_t samples = 5000;
  int32_t start = 2000;                                  // first sample of the countermovement
  double depth = 0.30;                                   // m
  double unweighting = 0.5, push = 0.25, landing = 0.3;  // T1, T2, T3 in s
  double takeoffVelocity = 2.4;                          // m/s
  int32_t noise = 3;                                     // N, largest noise while standing
  std::vector<ForceBump> sway;                           // added to the standing force
};

struct JumpTruth {
  int32_t onset, brakingStart, propulsionStart, takeoff;
  double touchdown;  // s·1000, between two samples
  double flightMs, heightCm, takeoffHeightCm, mass;
};

inline constexpr double kDesignG = 9.81;
inline constexpr double kPi = 3.14159265358979323846;

inline JumpTruth jumpTruth(const DesignedJump& d) {
  JumpTruth t{};
  const double v = d.takeoffVelocity;
  t.onset = d.start - 30;
  t.brakingStart = d.start + static_cast<int32_t>(std::lround(d.unweighting * 500));
  t.propulsionStart = d.start + static_cast<int32_t>(std::lround(d.unweighting * 1000));
  t.takeoff = t.propulsionStart + static_cast<int32_t>(std::lround(d.push * 1000));
  t.flightMs = 2 * v / kDesignG * 1000;
  t.touchdown = t.takeoff + t.flightMs;
  t.heightCm = 100 * v * v / (2 * kDesignG);
  const double a1 = d.depth * kPi * kPi / (2 * d.unweighting * d.unweighting);
  const double k = 6 * (v / d.push - (a1 + (-kDesignG - a1) / 2));
  t.takeoffHeightCm = 100 * (-d.depth + d.push * d.push * (a1 / 2 + (-kDesignG - a1) / 6 + k / 12));
  t.mass = d.mass;
  return t;
}

// The designed force in newtons at time `ms` (sample index), before rounding and noise.
inline double designedForce(const DesignedJump& d, double ms) {
  const JumpTruth truth = jumpTruth(d);
  const double g = kDesignG, v = d.takeoffVelocity;
  const double a1 = d.depth * kPi * kPi / (2 * d.unweighting * d.unweighting);
  const double k = 6 * (v / d.push - (a1 + (-g - a1) / 2));
  const double c = kPi * (v / d.landing + g / 2) / 2;
  double a = 0.0;
  if (ms >= d.start && ms < truth.propulsionStart) {
    a = -a1 * std::cos(kPi * (ms - d.start) / 1000 / d.unweighting);
  } else if (ms >= truth.propulsionStart && ms < truth.takeoff) {
    const double u = (ms - truth.propulsionStart) / 1000 / d.push;
    a = a1 + (-g - a1) * u + k * u * (1 - u);
  } else if (ms >= truth.takeoff && ms < truth.touchdown) {
    a = -g;
  } else if (ms >= truth.touchdown && ms < truth.touchdown + d.landing * 1000) {
    const double u = (ms - truth.touchdown) / 1000 / d.landing;
    a = -g + g * u + c * std::sin(kPi * u);
  }
  return d.mass * (g + a);
}

// Vertical counts in whole newtons (coefficient 1); noise only where the subject stands still.
inline std::vector<int32_t> designedCounts(const DesignedJump& d) {
  const JumpTruth truth = jumpTruth(d);
  std::vector<int32_t> counts(static_cast<size_t>(d.samples));
  uint32_t state = 12345;
  for (int32_t i = 0; i < d.samples; ++i) {
    double force = designedForce(d, i);
    state = state * 1664525u + 1013904223u;
    const bool standing = i < d.start || i >= truth.touchdown + d.landing * 1000;
    if (standing) force += static_cast<int32_t>(state >> 16) % (2 * d.noise + 1) - d.noise;
    for (const ForceBump& b : d.sway)
      if (i >= b.start && i < b.start + b.samples) force += b.newtons;
    counts[i] = static_cast<int32_t>(std::lround(force));
  }
  return counts;
}

inline std::unique_ptr<MeasurementStore> designedStore(const DesignedJump& d, float bodyWeight = 75.0f) {
  auto store = std::make_unique<MeasurementStore>();
  const std::vector<int32_t> counts = designedCounts(d);
  for (size_t i = 0; i < counts.size(); ++i) {
    store->channels.vertical[i] = counts[i];
    store->channels.horizontal[i] = 0;
  }
  store->sampleCount = static_cast<int32_t>(counts.size());
  store->testKind = TestKind::Power;
  store->bodyWeight = bodyWeight;
  store->recordingAvailable = 1;
  return store;
}

}  // namespace velkora::testing
