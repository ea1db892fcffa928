#pragma once
// Kinematics of a jump recorded by the power test: the running impulse of the net force and its
// peak, the take-off and touch-down with the two jump heights (single precision, summed in sample
// order), the kinematics model behind the velocity, displacement, power and acceleration channels,
// and the extremes of the take-off and touch-down phases.

#include <cstdint>

#include "acquisition/measurement_store.h"

namespace velkora {

struct JumpHeights {
  int32_t unweightingStart = 0;     // first of 11 samples below 95 % of the body-weight force
  int32_t takeOffIndex = 0;         // first contact force of at most 20 N from unweightingStart on
  int32_t windowStart = 0;          // first sample of the impulse window (up to 1000 samples)
  int32_t touchDownIndex = 0;       // first contact force above 20 N after the take-off
  float takeOffVelocity = 0.0f;     // m/s
  float heightByImpulse = 0.0f;     // m
  int32_t flightTime = 0;           // ms
  float heightByFlightTime = 0.0f;  // cm
};

struct PhaseExtremes {
  float takeOffMaxForce = 0.0f;
  float takeOffMaxVelocity = 0.0f;
  float takeOffMaxPower = 0.0f;
  float takeOffMinDisplacement = 0.0f;
  float touchDownMaxForce = 0.0f;
  float touchDownMinVelocity = 0.0f;
  float touchDownMinPower = 0.0f;
  float touchDownMaxDisplacement = 0.0f;
};

// Vertical plus horizontal force of one sample, the plain sum that decides contact with the plate.
float contactForce(const MeasurementStore& store, int32_t index);

// Recomputes the running impulse, its running sum and the peak of the store's recording, runs the
// kinematics model into the kinematic channels and the phases, and marks the analysis as describing it.
void computeJumpResults(MeasurementStore& store);

// Take-off, touch-down and both jump heights. Without a body weight (0 kg, nothing weighed) or with an
// empty impulse window the take-off velocity and the height from it are 0.
JumpHeights computeJumpHeights(const MeasurementStore& store, float bodyWeightKg);

// Extremes of force, velocity, power and displacement before and after the take-off: the last sample on
// the plate of the kinematics model, or the impulse peak of a recording without a model.
PhaseExtremes computePhaseExtremes(const MeasurementStore& store);

// Net acceleration of the centre of gravity in m/s² at one sample, from the kinematics model:
// (vertical force − body weight) / mass. 0 unless the store holds an analysed power test with a model.
float accelerationAt(const MeasurementStore& store, int32_t index);

}  // namespace velkora
