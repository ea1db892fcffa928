// Arbitrary plate bytes into the decoder and recorder under a mode chosen by the first bytes:
// the recorder never writes past its buffer or the repetition table, counts never exceed their caps,
// and every stored sample is a decodable 12-bit value minus the offsets.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "acquisition/frame_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velkora;
  if (size < 4) return 0;
  static auto store = std::make_unique<MeasurementStore>();
  CalibrationSet calibration;
  calibration.coefficientVertical = 0.25f + static_cast<float>(data[2] % 8);
  calibration.coefficientHorizontal = 0.5f;
  SampleRecorder recorder(calibration, store->repetitions);
  FrameDecoder decoder(recorder);
  Recording& r = store->recording;
  r.mode = static_cast<RecordingMode>(data[0] % 4);  // including one value that is no mode
  r.limit = data[1] % 2 ? data[1] * 37 : data[1] % 40;
  r.offsetVertical = 148;
  r.offsetHorizontal = 2048;
  r.startThreshold = data[3] * 8;
  r.waitForStart = data[3] & 1;
  r.stopped = 0;
  r.sampleCount = 0;
  r.waiting = r.waitForStart;
  store->repetitions.count = 0;
  recorder.setActive(&r);
  // Repeat the input so the 61000 cap is reached now and then.
  const int rounds = (data[2] & 0x80) ? 64 : 1;
  for (int i = 0; i < rounds; ++i) decoder.feed(data + 4, size - 4);
  const int32_t n = r.sampleCount.load();
  if (n < 0 || n > kMaxSamples) std::abort();
  if (r.mode == RecordingMode::Timed && n > r.limit) std::abort();
  if (store->repetitions.count.load() > kMaxRepetitions) std::abort();
  for (int32_t i = 0; i < n; ++i) {
    if (store->channels.vertical[i] < -148 || store->channels.vertical[i] > 4095 - 148) std::abort();
    if (store->channels.horizontal[i] < -2048 || store->channels.horizontal[i] > 4095 - 2048) std::abort();
  }
  return 0;
}
