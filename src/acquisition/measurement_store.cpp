#include "acquisition/measurement_store.h"

#include <cmath>

namespace velkora {

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
      // Computed once by the jump analysis; the spare slot at the sample count keeps what a longer,
      // earlier analysis left, so nothing is read past the data.
      const JumpResults& jump = store.jump;
      if (index < 0 || index >= store.sampleCount.load(std::memory_order_acquire)) return 0.0f;
      if (store.testKind != TestKind::Power || !jump.analysed || !jump.hasModel) return 0.0f;
      if (channel == ForceChannel::Velocity) return jump.velocity[index];
      if (channel == ForceChannel::Displacement) return jump.displacement[index];
      return jump.power[index];
    }
  }
  return 0.0f;
}

}  // namespace velkora
