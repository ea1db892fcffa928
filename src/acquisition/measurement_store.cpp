#include "acquisition/measurement_store.h"

#include <cmath>

namespace velkora {

void Recording::prepare(int32_t port, RecordingMode recordingMode, int32_t recordingLimit,
                        const CalibrationSet& calibration, bool waitForStartForce, int32_t threshold) {
  portIndex = port;
  transport = 0;
  mode = recordingMode;
  limit = recordingLimit;
  waitForStart = waitForStartForce ? 1 : 0;
  startThreshold = threshold;
  // Float-to-int conversion truncates toward zero, as every conversion of computed values does.
  offsetVertical = truncateToInt(calibration.offsetVertical);
  offsetHorizontal = truncateToInt(calibration.offsetHorizontal);
}

int32_t RepetitionTable::rows() const {
  const int32_t n = count.load(std::memory_order_acquire);
  if (n < 0) return 0;
  return n > kMaxRepetitions ? kMaxRepetitions : n;
}

void MeasurementStore::resetForNewTest(const CalibrationSet& currentCalibration, int64_t nowSeconds) {
  calibration = currentCalibration;
  recordingAvailable.store(0, std::memory_order_release);
  testTime = static_cast<int32_t>(static_cast<uint32_t>(nowSeconds));  // low 32 bits
  repetitions.count.store(0, std::memory_order_release);
  sampleCount.store(0, std::memory_order_release);
  jump.analysed = false;
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
