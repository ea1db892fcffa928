#include "reports/jump_analysis.h"

#include <memory>

#include "reports/kinematics_model.h"

namespace velkora {

float contactForce(const MeasurementStore& store, int32_t index) {
  return forceAt(store, index, ForceChannel::Vertical) + forceAt(store, index, ForceChannel::Horizontal);
}

namespace {

// The kinematics model of the recording into the store's channel series and phases.
void computeKinematicChannels(MeasurementStore& store, int32_t n) {
  JumpResults& jump = store.jump;
  jump.hasModel = false;
  jump.phases = JumpPhases{};
  if (n < kQuietStandingSamples) return;
  // Every entry is written before it is read: no need to clear the room first.
  const auto work = std::make_unique_for_overwrite<double[]>(static_cast<size_t>(n) * 3);
  const std::span<double> force(work.get(), static_cast<size_t>(n));
  const std::span<double> velocity(work.get() + n, static_cast<size_t>(n));
  const std::span<double> displacement(work.get() + 2 * static_cast<size_t>(n), static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) force[i] = forceAt(store, i, ForceChannel::Vertical);
  const JumpKinematics k = computeKinematics(force, velocity, displacement);
  if (!k.modelled()) return;

  // Each channel value is computed in double and narrowed once; power is F·v from the onset to the
  // end of the landing and 0 where the subject stands.
  for (int32_t i = 0; i < n; ++i) {
    const bool moving = i >= k.onset && i <= k.landingEnd;
    jump.velocity[i] = static_cast<float>(velocity[i]);
    jump.displacement[i] = static_cast<float>(100 * displacement[i]);
    jump.power[i] = moving ? static_cast<float>(force[i] * velocity[i]) : 0.0f;
    jump.acceleration[i] = static_cast<float>(netAcceleration(force[i], k.quiet));
  }
  jump.phases = {k.onset, k.brakingStart, k.propulsionStart, k.takeOff, k.touchDown, k.landingEnd};
  jump.hasModel = true;
}

}  // namespace

void computeJumpResults(MeasurementStore& store) {
  JumpResults& jump = store.jump;
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  jump.peakIndex = 0;
  jump.analysed = true;
  computeKinematicChannels(store, n < kMaxSamples ? n : kMaxSamples);
  if (n < 1) return;

  // Weight baseline: the mean vector force times one sample interval, in newton-seconds per sample.
  float sum = 0.0f;
  for (int32_t i = 0; i < n; ++i) {
    const float force = forceAt(store, i, ForceChannel::Vector);
    sum += force / 1000;
  }
  const float m = sum / n;

  float p = 0.0f;
  float q = 0.0f;
  float best = 0.0f;
  for (int32_t k = 0; k < n; ++k) {
    const float force = forceAt(store, k, ForceChannel::Vector);
    p = (force / 1000 + p) - m;
    jump.impulse[k] = p;
    q = q + p;
    jump.impulseSum[k] = q;
    if (p > best) {  // a later equal impulse does not move the peak
      best = p;
      jump.peakIndex = k;
    }
  }
}

JumpHeights computeJumpHeights(const MeasurementStore& store, float bodyWeightKg) {
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  const float W = bodyWeightKg;
  JumpHeights h;

  // 95 % of the body-weight force; the unweighting starts with the first of 11 samples below it.
  const float T = W * 9.81 * 0.95;
  int32_t run = 0;
  int32_t u = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (contactForce(store, i) < T) {
      ++run;
      if (run > 10) {
        u = i - 10;
        break;
      }
    } else {
      run = 0;
    }
  }
  h.unweightingStart = u;

  h.takeOffIndex = n;
  for (int32_t i = u; i < n; ++i) {
    const float force = contactForce(store, i);
    if (force <= 20) {
      h.takeOffIndex = i;
      break;
    }
  }

  h.windowStart = h.takeOffIndex > 1000 ? h.takeOffIndex - 1000 : 0;
  float S = 0.0f;
  for (int32_t i = h.windowStart; i < h.takeOffIndex; ++i) {
    const float force = contactForce(store, i);
    S += force;
  }

  h.touchDownIndex = n;
  for (int32_t i = h.takeOffIndex + 1; i < n; ++i) {
    if (contactForce(store, i) > 20) {
      h.touchDownIndex = i;
      break;
    }
  }

  // Mean net acceleration over the window times its length. Without a body weight there is no mass
  // to divide by, and a take-off at the first sample leaves no window: no velocity is derived then.
  const int32_t L = h.takeOffIndex - h.windowStart;
  if (W > 0 && L > 0) {
    h.takeOffVelocity = L * ((S / L - 9.81 * W) / W) / 1000;
    h.heightByImpulse = h.takeOffVelocity * h.takeOffVelocity / 19.62;
  }

  h.flightTime = h.touchDownIndex - h.takeOffIndex;
  // Evaluated from the left in double, so a flight of a whole minute does not overflow an int.
  h.heightByFlightTime = 1.22625 * h.flightTime * h.flightTime / 10000;
  return h;
}

PhaseExtremes computePhaseExtremes(const MeasurementStore& store) {
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  PhaseExtremes e;
  if (n < 1) return e;
  // With a kinematics model the take-off phase ends with the last sample on the plate; the peak of
  // the running impulse drifts with the recording's length, as its baseline is the mean of all of it.
  // A peak left from an earlier, longer recording must not reach past this one.
  const JumpResults& jump = store.jump;
  const bool modelled = store.testKind == TestKind::Power && jump.analysed && jump.hasModel;
  int32_t peak = modelled ? jump.phases.takeOff - 1 : jump.peakIndex;
  if (peak < 0) peak = 0;
  if (peak > n - 1) peak = n - 1;

  for (int32_t i = 0; i <= peak; ++i) {
    const float force = forceAt(store, i, ForceChannel::Vertical);
    const float velocity = forceAt(store, i, ForceChannel::Velocity);
    const float power = forceAt(store, i, ForceChannel::Power);
    const float displacement = forceAt(store, i, ForceChannel::Displacement);
    if (force > e.takeOffMaxForce) e.takeOffMaxForce = force;
    if (velocity > e.takeOffMaxVelocity) e.takeOffMaxVelocity = velocity;
    if (power > e.takeOffMaxPower) e.takeOffMaxPower = power;
    if (displacement < e.takeOffMinDisplacement) e.takeOffMinDisplacement = displacement;
  }
  for (int32_t i = peak + 1; i < n; ++i) {
    const float force = forceAt(store, i, ForceChannel::Vertical);
    const float velocity = forceAt(store, i, ForceChannel::Velocity);
    const float power = forceAt(store, i, ForceChannel::Power);
    const float displacement = forceAt(store, i, ForceChannel::Displacement);
    if (force > e.touchDownMaxForce) e.touchDownMaxForce = force;
    if (velocity < e.touchDownMinVelocity) e.touchDownMinVelocity = velocity;
    if (power < e.touchDownMinPower) e.touchDownMinPower = power;
    if (displacement > e.touchDownMaxDisplacement) e.touchDownMaxDisplacement = displacement;
  }
  return e;
}

float accelerationAt(const MeasurementStore& store, int32_t index) {
  const JumpResults& jump = store.jump;
  if (index < 0 || index >= store.sampleCount.load(std::memory_order_acquire)) return 0.0f;
  if (store.testKind != TestKind::Power || !jump.analysed || !jump.hasModel) return 0.0f;
  return jump.acceleration[index];
}

}  // namespace velkora
