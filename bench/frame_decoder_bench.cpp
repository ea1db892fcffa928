// Decoder + recorder throughput on a realistic plate stream with an occasional lost byte.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "acquisition/frame_decoder.h"

namespace {

using namespace velkora;

std::vector<uint8_t> plateStream(size_t frames) {
  std::vector<uint8_t> bytes;
  bytes.reserve(frames * 4);
  uint32_t seed = 12345;
  for (size_t i = 0; i < frames; ++i) {
    seed = seed * 1664525u + 1013904223u;
    uint8_t b[4];
    encodeFrame(148 + 600 + static_cast<int32_t>((seed >> 16) % 400), 2048 + static_cast<int32_t>((seed >> 8) % 64) - 32,
                b);
    for (int k = 0; k < 4; ++k) {
      if (i % 997 == 0 && k == 2) continue;  // a lost byte now and then
      bytes.push_back(b[k]);
    }
  }
  return bytes;
}

void runStream(benchmark::State& state, RecordingMode mode, int32_t limit) {
  const std::vector<uint8_t> stream = plateStream(kMaxSamples);
  auto store = std::make_unique<MeasurementStore>();
  CalibrationSet calibration;
  SampleRecorder recorder(calibration, store->repetitions);
  FrameDecoder decoder(recorder);
  Recording& r = store->recording;
  r.mode = mode;
  r.limit = limit;
  r.offsetVertical = 148;
  r.offsetHorizontal = 2048;
  recorder.setActive(&r);
  for (auto _ : state) {
    r.stopped = 0;
    r.sampleCount = 0;
    store->repetitions.count = 0;
    decoder.feed(stream.data(), stream.size());
    benchmark::DoNotOptimize(r.sampleCount.load());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}

void BM_DecodeRecordTimed(benchmark::State& state) { runStream(state, RecordingMode::Timed, kMaxSamples); }
void BM_DecodeRecordRepetitions(benchmark::State& state) { runStream(state, RecordingMode::Repetitions, 25); }
void BM_DecodeRecordLive(benchmark::State& state) { runStream(state, RecordingMode::Live, 0); }

BENCHMARK(BM_DecodeRecordTimed);
BENCHMARK(BM_DecodeRecordRepetitions);
BENCHMARK(BM_DecodeRecordLive);

}  // namespace
