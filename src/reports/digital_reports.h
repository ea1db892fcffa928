#pragma once
// The digital reports as rows of cell texts: the force-test and repetition reports over intervals,
// the power-test report over intervals, the summary of the jump phases and the jump heights.
// Numbers are formatted with the C formatting functions, so the decimal mark follows LC_NUMERIC.

#include <cstdint>

#include "acquisition/measurement_store.h"
#include "reports/report_table.h"

namespace velkora {

// byRepetition false: means of the vertical, horizontal and vector force over intervals of `interval`
// samples. byRepetition true: means of the repetition table over intervals of `interval` repetitions.
void fillIntervalReport(const MeasurementStore& store, int32_t interval, bool byRepetition, DigitalReport& report);

// Means of contact force, acceleration, velocity, displacement and power over intervals of samples.
void fillPowerReport(const MeasurementStore& store, int32_t interval, DigitalReport& report);

// Extremes of the take-off and touch-down phases; per-kilogram cells stay empty without a body weight.
void fillSummaryReport(const MeasurementStore& store, DigitalReport& report);

// Jump height from the take-off impulse and from the flight time, in centimetres.
void fillHeightReport(const MeasurementStore& store, DigitalReport& report);

// The digital report of the store's test kind: power layout for a power test, force layout otherwise.
void fillDigitalReport(const MeasurementStore& store, int32_t interval, DigitalReport& report);

// Text shown instead of the impulse height when no body weight was measured.
inline constexpr std::string_view kNoBodyWeight = "no body weight";

}  // namespace velkora
