#include "acquisition/power_exercise.h"

#include <cstdio>

namespace velkora {

float bodyWeightFromSamples(const SampleBuffer& samples, float coefficientVertical) {
  // 64 bits hold 2000 counts of any size; a calibration from a file may make them large.
  int64_t sum = 0;
  for (int32_t i = kWeighingFirst; i < kWeighingFirst + kWeighingUsed; ++i) sum += samples.vertical[i];
  // Sum times coefficient and the division by the sample count stay single precision; only the
  // division by g runs in double, with the single-precision 9.81 widened.
  const float newtons = static_cast<float>(sum) * coefficientVertical;
  const float perSample = newtons / kWeighingUsed;
  return static_cast<float>(static_cast<double>(perSample) / static_cast<double>(9.81f));
}

std::string bodyWeightText(float kilograms) {
  char text[64];  // "%.1f" of any float fits
  std::snprintf(text, sizeof text, "Body weight: %.1f kg", static_cast<double>(kilograms));
  return text;
}

std::string recordingBodyWeightText(const MeasurementStore& store, bool testRunning) {
  if (store.testKind != TestKind::Power) return {};
  if (!testRunning && store.recordingAvailable.load(std::memory_order_acquire) == 0) return {};
  return bodyWeightText(store.bodyWeight);
}

void smoothVertical(SampleBuffer& samples, int32_t n) {
  if (n <= 3) return;
  int32_t* v = samples.vertical;
  // Walk forward keeping the unsmoothed previous value, so no copy of the channel is needed.
  int32_t previous = v[0];
  for (int32_t i = 1; i <= n - 3; ++i) {
    const int32_t current = v[i];
    // The sum of three counts may pass the 32-bit range; their mean never does.
    v[i] = static_cast<int32_t>((static_cast<int64_t>(previous) + current + v[i + 1]) / 3);
    previous = current;
  }
}

}  // namespace velkora
