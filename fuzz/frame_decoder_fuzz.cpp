// Arbitrary plate bytes into the decoder and recorder, under a recording and a calibration that come
// from the input too, as a hostile configuration file could set them: any offsets and coefficients
// (infinities and NaN included), any mode value, limit and start force. The recorder never writes
// past its buffer or the repetition table, counts never exceed their caps, every stored sample is a
// 12-bit value minus the offset kept within 32 bits, and the power test's arithmetic on the result
// stays defined (the build runs under UndefinedBehaviorSanitizer, which stops at the first report).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "acquisition/frame_decoder.h"
#include "acquisition/power_exercise.h"

namespace {

using namespace velkora;

// The input's leading bytes: mode, limit, the four calibration values, start force, flags.
constexpr size_t kHeader = 1 + 4 + 16 + 4 + 1;

int32_t takeI32(const uint8_t*& p) {
  uint32_t u = 0;
  std::memcpy(&u, p, 4);
  p += 4;
  return static_cast<int32_t>(u);
}

float takeF32(const uint8_t*& p) {
  float f = 0;
  std::memcpy(&f, p, 4);
  p += 4;
  return f;
}

int32_t corrected(int32_t raw, int32_t offset) {
  return static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(raw) - offset, INT32_MIN, INT32_MAX));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  static auto store = std::make_unique<MeasurementStore>();
  const uint8_t* p = data;
  const auto mode = static_cast<RecordingMode>(*p++ % 4);  // including one value that is no mode
  const int32_t limit = takeI32(p);
  CalibrationSet calibration;
  calibration.offsetVertical = takeF32(p);
  calibration.offsetHorizontal = takeF32(p);
  calibration.coefficientVertical = takeF32(p);
  calibration.coefficientHorizontal = takeF32(p);
  const int32_t startForce = takeI32(p);
  const uint8_t flags = *p++;

  SampleRecorder recorder(calibration, store->repetitions);
  FrameDecoder decoder(recorder);
  Recording& r = store->recording;
  r.prepare(0, mode, limit, calibration, (flags & 1) != 0, startForce);
  r.stopped = 0;
  r.sampleCount = 0;
  r.waiting = r.waitForStart;
  store->repetitions.count = 0;
  recorder.setActive(&r);
  // Repeat the input so the 61000 cap is reached now and then.
  const int rounds = (flags & 0x80) ? 64 : 1;
  for (int i = 0; i < rounds; ++i) decoder.feed(p, size - kHeader);

  const int32_t n = r.sampleCount.load();
  if (n < 0 || n > kMaxSamples) std::abort();
  if (mode == RecordingMode::Timed && n > std::max(limit, 0)) std::abort();
  if (mode == RecordingMode::Live && n != 0) std::abort();
  const int32_t reps = store->repetitions.count.load();
  if (reps < 0 || reps > kMaxRepetitions || reps > std::max(limit, 0)) std::abort();
  const int32_t lowV = corrected(0, r.offsetVertical);
  const int32_t highV = corrected(4095, r.offsetVertical);
  const int32_t lowH = corrected(0, r.offsetHorizontal);
  const int32_t highH = corrected(4095, r.offsetHorizontal);
  for (int32_t i = 0; i < n; ++i) {
    if (store->channels.vertical[i] < lowV || store->channels.vertical[i] > highV) std::abort();
    if (store->channels.horizontal[i] < lowH || store->channels.horizontal[i] > highH) std::abort();
  }

  // What the power test does with a recording: the body weight of a weighing, then the smoothing.
  if (n >= kWeighingSamples) (void)bodyWeightFromSamples(store->channels, calibration.coefficientVertical);
  smoothVertical(store->channels, n);
  return 0;
}
