// The plate link's hot path: the simulated plate under the test clock, through the reader thread,
// the decoder and the recorder into a Recording. Also counts the allocations the reader makes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>

#include "acquisition/plate_devices.h"
#include "acquisition/plate_link.h"
#include "acquisition/simulated_plate.h"

namespace {

std::atomic<uint64_t> allocations{0};

}  // namespace

// Every allocation of the program is counted, so a run can show how many a link start costs and
// that the frames themselves cost none.
// Kept out of line: inlined, the compiler pairs its own operator new with the free() below and warns.
__attribute__((noinline)) void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace velkora {
namespace {

struct Bench {
  CalibrationSet calibration;
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  SampleRecorder recorder{calibration, store->repetitions};
  FrameDecoder decoder{recorder};
  SystemTransportFactory serial;
  SimulatedTransportFactory factory{SimulationPlan{{Scenario{.kind = ScenarioKind::Jump}}, true}, serial};
  PlateLink link{decoder, recorder, factory};

  // One full recording of `frames` samples; returns the allocations made meanwhile.
  uint64_t recordOnce(int32_t frames) {
    Recording& r = store->recording;
    r.prepare(0, RecordingMode::Timed, frames, calibration);
    const uint64_t before = allocations.load();
    if (!link.startLink(r)) std::abort();
    while (r.stopped.load(std::memory_order_acquire) == 0) std::this_thread::yield();
    link.stopLink();
    return allocations.load() - before;
  }
};

// A whole 61 s recording, as fast as the reader takes it: start, 61000 frames, stop.
void BM_SimulatedPlateIntoRecording(benchmark::State& state) {
  Bench b;
  const int32_t frames = static_cast<int32_t>(state.range(0));
  uint64_t allocs = 0;
  for (auto _ : state) allocs = b.recordOnce(frames);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * frames * 4);
  state.counters["allocs_per_recording"] = static_cast<double>(allocs);
}
BENCHMARK(BM_SimulatedPlateIntoRecording)->Arg(1000)->Arg(kMaxSamples)->UseRealTime()->Unit(benchmark::kMillisecond);

// The model alone: frames generated and encoded per second.
void BM_SimulatedPlateFrames(benchmark::State& state) {
  SimulatedPlate plate(Scenario{.kind = ScenarioKind::Jump});
  uint8_t buffer[1024];
  int64_t ms = 0;
  for (auto _ : state) {
    plate.fillFrames(ms, 256, buffer);
    benchmark::DoNotOptimize(buffer);
    ms = (ms + 256) % 10000;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * sizeof buffer);
}
BENCHMARK(BM_SimulatedPlateFrames);

}  // namespace
}  // namespace velkora
