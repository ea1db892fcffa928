#pragma once
// The arithmetic of the power test that belongs to acquisition: the body weight from the weighing
// recording and how it is written, and the smoothing of the vertical channel once the jump is
// recorded.

#include <cstdint>
#include <string>

#include "acquisition/measurement_store.h"

namespace velkora {

inline constexpr int32_t kWeighingSamples = 2020;  // 2.02 s of standing still
inline constexpr int32_t kWeighingFirst = 10;      // the first and the last 10 samples are not used
inline constexpr int32_t kWeighingUsed = 2000;

// Body weight in kilograms from a finished weighing recording: the mean of vertical samples
// 10..2009 in newtons, divided by 9.81 (the single-precision value).
float bodyWeightFromSamples(const SampleBuffer& samples, float coefficientVertical);

// "Body weight: 75.3 kg": one decimal, with the decimal mark of the user's locale.
std::string bodyWeightText(float kilograms);
// The status bar's body weight: that text for a power test while it runs and for the power test in
// memory after it; empty for anything else.
std::string recordingBodyWeightText(const MeasurementStore& store, bool testRunning);

// Three-point moving average of vertical[1 .. n-3] in place, each from the unsmoothed neighbours,
// with integer division truncating toward zero. Samples 0, n-2 and n-1 keep their values; nothing
// happens for n <= 3.
void smoothVertical(SampleBuffer& samples, int32_t n);

}  // namespace velkora
