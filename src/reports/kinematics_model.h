#pragma once
// The one model of the centre of gravity for power tests. Body weight and noise come from the first
// second of quiet standing; the jump's own excursion is found backwards from the take-off, so sway in
// the standing before it does not count; the onset lies 30 ms before that excursion; velocity and
// displacement are integrated by the trapezoid rule in double precision from the onset to the end of
// the landing. The kinematic channels, the phase marks of the curve graph and the metrics all read
// this one model.

#include <cstdint>
#include <span>

namespace velkora {

inline constexpr double kGravity = 9.81;                // m/s²
inline constexpr int32_t kQuietStandingSamples = 1000;  // the first second
inline constexpr double kContactLimit = 20.0;           // N: at most this is in the air
inline constexpr int32_t kOnsetLead = 30;               // ms before the excursion
inline constexpr double kHalfSample = 0.0005;           // s, half the sample interval

// Why a recording has a model or what it lacks, in the order the cases are checked.
enum class JumpOutcome : int32_t {
  TooShort,      // fewer than 1000 samples
  DropJump,      // starts off the plate (mean of the first 10 forces at most 20 N)
  NoTakeOff,     // never at or below 20 N
  EarlyTakeOff,  // take-off at or before sample 1000: no quiet standing before it
  NoOnset,       // no excursion from the body weight before the take-off
  Modelled,
};

struct QuietStanding {
  double bodyWeight = 0.0;  // N, mean of the first 1000 forces
  double sd = 0.0;          // N, their standard deviation (n − 1)
  double mass = 0.0;        // kg
  double threshold = 0.0;   // N, the excursion that counts as movement: max(5 SD, 2 N)
};

// The events of one power-test recording; -1 where an event does not exist.
struct JumpKinematics {
  JumpOutcome outcome = JumpOutcome::TooShort;
  QuietStanding quiet;           // filled from NoTakeOff on
  int32_t contact = -1;          // drop jump: first sample on the plate from sample 10 on
  int32_t takeOff = -1;          // first sample at or below 20 N (after the contact in a drop jump)
  int32_t touchDown = -1;        // first sample above 20 N after the take-off
  int32_t peakLanding = -1;      // first sample of the largest force from the touch-down on
  int32_t excursionStart = -1;   // X, the first sample of the jump's own excursion
  int32_t onset = -1;            // X − 30, not before sample 0
  bool countermovement = false;  // the excursion dips below the body weight
  int32_t brakingStart = -1;     // the lowest velocity of a countermovement (velocity below 0)
  int32_t propulsionStart = -1;  // the velocity back at 0, or X without a countermovement
  int32_t landingEnd = -1;       // E, the lowest point of the landing (n − 1 without one)

  bool modelled() const { return outcome == JumpOutcome::Modelled; }
};

// The net acceleration in m/s² of a force under the model's body weight and mass.
inline double netAcceleration(double force, const QuietStanding& quiet) {
  return (force - quiet.bodyWeight) / quiet.mass;
}

// Runs the model over the vertical forces of a recording (n = force.size(), at most 61000).
// `velocity` (m/s) and `displacement` (m) must hold n entries each; with a model they are 0 before the
// onset, integrated from the onset to the landing end E, and 0 and s[E] after E. Without a model they
// are left as they are. No allocation.
JumpKinematics computeKinematics(std::span<const double> force, std::span<double> velocity,
                                 std::span<double> displacement);

}  // namespace velkora
