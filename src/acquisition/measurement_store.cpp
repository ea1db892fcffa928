#include "acquisition/measurement_store.h"

#include <cmath>

namespace velkora {

float jumpMass(const MeasurementStore& store) {
  if (store.testKind != TestKind::Power || !store.jump.analysed) return 0.0f;
  const float M = 1000 * store.jump.baseline / 9.81;
  return M;
}

float forceAt(const MeasurementStore& store, int32_t index, ForceChannel channel) {
  switch (channel) {
    case ForceChannel::Vertical:
      return static_cast<float>(store.channels.vertical[index]) * store.calibration.coefficientVertical;
    case ForceChannel::Horizontal:
      return static_cast<float>(store.channels.horizontal[index]) * store.calibration.coefficientHorizontal;
    case ForceChannel::Vector: {
      const float v = static_cast<float>(store.channels.vertical[index]) * store.calibration.coefficientVertical;
      const float h = static_cast<float>(store.channels.horizontal[index]) * store.calibration.coefficientHorizontal;
      const float sumOfSquares = v * v + h * h;
      return std::sqrt(sumOfSquares);
    }
    case ForceChannel::Velocity:
    case ForceChannel::Displacement:
    case ForceChannel::Power: {
      // Derived from the jump analysis of a power test: the running impulse over the subject's mass
      // is the velocity, its running sum (one term per millisecond) the displacement in centimetres.
      // Nothing to derive before the analysis has run or without a positive mass, and nothing past
      // the data: the spare slot at the sample count keeps what a longer, earlier analysis left.
      if (index < 0 || index >= store.sampleCount.load(std::memory_order_acquire)) return 0.0f;
      const float M = jumpMass(store);
      if (!(M > 0)) return 0.0f;
      if (channel == ForceChannel::Displacement) return store.jump.impulseSum[index] / (10 * M);
      const float velocity = store.jump.impulse[index] / M;
      if (channel == ForceChannel::Velocity) return velocity;
      const float force = forceAt(store, index, ForceChannel::Vector);
      return force * velocity;
    }
  }
  return 0.0f;
}

}  // namespace velkora
