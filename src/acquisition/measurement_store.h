#pragma once
// The current test's samples in physical units: the accessor every graph, report and file reads.

#include <cstdint>

#include "model/measurement_records.h"

namespace velkora {

// Force in newtons of one stored sample, from the store's channels and calibration. The caller keeps
// index within 0..60999. The kinematic channels read the kinematics model of the jump analysis when it
// has run on the store's data and found one, and yield 0 otherwise and at and past the sample count.
float forceAt(const MeasurementStore& store, int32_t index, ForceChannel channel);

}  // namespace velkora
