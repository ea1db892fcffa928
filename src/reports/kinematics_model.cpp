#include "reports/kinematics_model.h"

#include <algorithm>
#include <cmath>

namespace velkora {
namespace {

// First index in [from, to) whose force is above the contact limit (or at most it); -1 if none.
int32_t firstAbove(std::span<const double> force, int32_t from, double limit) {
  for (int32_t i = std::max(from, 0); i < static_cast<int32_t>(force.size()); ++i)
    if (force[i] > limit) return i;
  return -1;
}

int32_t firstAtMost(std::span<const double> force, int32_t from, double limit) {
  for (int32_t i = std::max(from, 0); i < static_cast<int32_t>(force.size()); ++i)
    if (force[i] <= limit) return i;
  return -1;
}

// First index of the largest (or smallest) value over [from, to); -1 for an empty range.
int32_t firstLargest(std::span<const double> values, int32_t from, int32_t to) {
  if (from < 0 || from >= to) return -1;
  int32_t best = from;
  for (int32_t i = from + 1; i < to; ++i)
    if (values[i] > values[best]) best = i;
  return best;
}

int32_t firstSmallest(std::span<const double> values, int32_t from, int32_t to) {
  if (from < 0 || from >= to) return -1;
  int32_t best = from;
  for (int32_t i = from + 1; i < to; ++i)
    if (values[i] < values[best]) best = i;
  return best;
}

QuietStanding quietStanding(std::span<const double> force) {
  QuietStanding q;
  double sum = 0.0;
  for (int32_t i = 0; i < kQuietStandingSamples; ++i) sum += force[i];
  q.bodyWeight = sum / kQuietStandingSamples;
  double squares = 0.0;
  for (int32_t i = 0; i < kQuietStandingSamples; ++i) {
    const double d = force[i] - q.bodyWeight;
    squares += d * d;
  }
  q.sd = std::sqrt(squares / (kQuietStandingSamples - 1));
  q.mass = q.bodyWeight / kGravity;
  q.threshold = std::max(5 * q.sd, 2.0);
  return q;
}

// X, the start of the jump's own excursion, searched backwards from the largest force before the
// take-off so that sway in the standing before the jump does not count; -1 without an excursion.
int32_t excursionStart(std::span<const double> force, const QuietStanding& q, int32_t takeOff, bool& dip) {
  const int32_t peak = firstLargest(force, kQuietStandingSamples, takeOff);
  const int32_t low = firstSmallest(force, kQuietStandingSamples, peak);
  const double below = q.bodyWeight - q.threshold;
  const double above = q.bodyWeight + q.threshold;
  int32_t x = -1;
  if (low >= 0 && force[low] < below) {
    dip = true;
    x = low;
    while (x - 1 >= kQuietStandingSamples && force[x - 1] < below) --x;
  } else if (force[peak] > above) {
    x = peak;
    while (x - 1 >= kQuietStandingSamples && force[x - 1] > above) --x;
  }
  return x;
}

}  // namespace

JumpKinematics computeKinematics(std::span<const double> force, std::span<double> velocity,
                                 std::span<double> displacement) {
  JumpKinematics k;
  const int32_t n = static_cast<int32_t>(force.size());
  if (n < kQuietStandingSamples) return k;

  double start = 0.0;
  for (int32_t i = 0; i < 10; ++i) start += force[i];
  if (start / 10 <= kContactLimit) {
    // Dropped onto the plate: contact, take-off and the landing after the flight.
    k.outcome = JumpOutcome::DropJump;
    k.contact = firstAbove(force, 10, kContactLimit);
    if (k.contact >= 0) k.takeOff = firstAtMost(force, k.contact + 1, kContactLimit);
    if (k.takeOff >= 0) k.touchDown = firstAbove(force, k.takeOff + 1, kContactLimit);
    if (k.touchDown >= 0) k.peakLanding = firstLargest(force, k.touchDown, n);
    return k;
  }

  k.quiet = quietStanding(force);
  k.takeOff = firstAtMost(force, 0, kContactLimit);
  if (k.takeOff < 0) {
    k.outcome = JumpOutcome::NoTakeOff;
    return k;
  }
  k.touchDown = firstAbove(force, k.takeOff + 1, kContactLimit);
  if (k.touchDown >= 0) k.peakLanding = firstLargest(force, k.touchDown, n);
  if (k.takeOff <= kQuietStandingSamples) {
    k.outcome = JumpOutcome::EarlyTakeOff;
    return k;
  }
  k.excursionStart = excursionStart(force, k.quiet, k.takeOff, k.countermovement);
  if (k.excursionStart < 0) {
    k.outcome = JumpOutcome::NoOnset;
    return k;
  }
  k.outcome = JumpOutcome::Modelled;
  k.onset = std::max(k.excursionStart - kOnsetLead, 0);

  // Trapezoid integration from rest at the onset to the end of the landing: the lowest point of the
  // landing (velocity back at 0) or, after the landing's peak, the force back at the body weight,
  // which catches a body weight that came out slightly high and keeps the velocity below 0.
  std::fill(velocity.begin(), velocity.begin() + k.onset + 1, 0.0);
  std::fill(displacement.begin(), displacement.begin() + k.onset + 1, 0.0);
  const QuietStanding& q = k.quiet;
  double previousAcceleration = netAcceleration(force[k.onset], q);
  k.landingEnd = n - 1;
  for (int32_t i = k.onset + 1; i < n; ++i) {
    const double a = netAcceleration(force[i], q);
    velocity[i] = velocity[i - 1] + kHalfSample * (previousAcceleration + a);
    displacement[i] = displacement[i - 1] + kHalfSample * (velocity[i - 1] + velocity[i]);
    previousAcceleration = a;
    if (k.touchDown >= 0 && i > k.touchDown && (velocity[i] >= 0 || (i > k.peakLanding && force[i] <= q.bodyWeight))) {
      k.landingEnd = i;
      break;
    }
  }
  // Standing again at the landing's height.
  std::fill(velocity.begin() + k.landingEnd + 1, velocity.begin() + n, 0.0);
  std::fill(displacement.begin() + k.landingEnd + 1, displacement.begin() + n, displacement[k.landingEnd]);

  // The phases: a countermovement brakes from its lowest velocity and propels from velocity 0 on;
  // a push without one propels from its first sample.
  k.propulsionStart = k.excursionStart;
  if (k.countermovement) {
    const int32_t lowest = firstSmallest(velocity, k.onset, k.takeOff + 1);
    if (velocity[lowest] < 0) {
      k.brakingStart = lowest;
      k.propulsionStart = -1;
      for (int32_t i = lowest + 1; i <= k.takeOff; ++i) {
        if (velocity[i] >= 0) {
          k.propulsionStart = i;
          break;
        }
      }
    }
  }
  return k;
}

}  // namespace velkora
