#pragma once
// The current test's samples in physical units: the accessor every graph, report and file reads.

#include <cstdint>

#include "model/measurement_records.h"

namespace velkora {

// The subject's mass in kilograms from the jump analysis's weight baseline; 0 unless the store holds
// an analysed power test.
float jumpMass(const MeasurementStore& store);

// Force in newtons of one stored sample, from the store's channels and calibration. The caller keeps
// index within 0..60999. The kinematic channels come from the jump analysis when it has run on the
// store's data and yield 0 otherwise.
float forceAt(const MeasurementStore& store, int32_t index, ForceChannel channel);

}  // namespace velkora
