#include "model/measurement_records.h"

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

}  // namespace velkora
