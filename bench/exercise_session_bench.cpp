// The live tick of a test through the program's use case: what the window's 100 ms timer costs in core with 100 new
// samples per tick (one tick's worth at 1000 samples per second), in curve mode and in repetition mode, and the largest
// tick over a whole 61 s test, the final one (stop, smoothing, jump analysis) included.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "acquisition/exercise_limits.h"
#include "acquisition/simulated_plate.h"
#include "app/exercise_use_cases.h"
#include "app/program_records.h"

namespace velkora {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kSamplesPerTick = 100;
constexpr std::chrono::microseconds kIdleAnswer{1000};

// The simulated plate, handing out only the frames the benchmark has allowed so far.
class PacedPlate final : public PlateTransport {
 public:
  explicit PacedPlate(const Scenario& scenario) : plate_(scenario) {}
  TransportStatus open() override {
    sent_ = 0;
    allowed_.store(0, std::memory_order_release);
    return TransportStatus::Ok;
  }
  ReadResult read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) override {
    // A plate that streams answers every read within about a millisecond; waiting out the whole
    // timeout here would make every stop wait for it.
    const auto deadline = Clock::now() + std::min<std::chrono::microseconds>(timeout, kIdleAnswer);
    int64_t allowed = 0;
    while ((allowed = allowed_.load(std::memory_order_acquire)) <= sent_) {
      if (Clock::now() > deadline) return {TransportStatus::Timeout, 0};
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    const int64_t frames = std::min<int64_t>(static_cast<int64_t>(capacity / 4), allowed - sent_);
    plate_.fillFrames(sent_, static_cast<size_t>(frames), buffer);
    sent_ += frames;
    return {TransportStatus::Ok, static_cast<size_t>(frames) * 4};
  }
  void close() override {}
  void allow(int64_t frames) { allowed_.fetch_add(frames, std::memory_order_acq_rel); }
  int64_t allowed() const { return allowed_.load(std::memory_order_acquire); }

 private:
  SimulatedPlate plate_;
  std::atomic<int64_t> allowed_{0};
  int64_t sent_ = 0;  // reader thread only
};

class PacedFactory final : public TransportFactory {
 public:
  explicit PacedFactory(PacedPlate& plate) : plate_(plate) {}
  std::unique_ptr<PlateTransport> usbTransport() override {
    struct Borrowed final : PlateTransport {
      explicit Borrowed(PacedPlate& p) : plate(p) {}
      TransportStatus open() override { return plate.open(); }
      ReadResult read(uint8_t* b, size_t c, std::chrono::milliseconds t) override { return plate.read(b, c, t); }
      void close() override { plate.close(); }
      bool probe() override { return true; }
      PacedPlate& plate;
    };
    return std::make_unique<Borrowed>(plate_);
  }
  std::unique_ptr<PlateTransport> serialTransport(int32_t) override { return nullptr; }

 private:
  PacedPlate& plate_;
};

// The program's records and plate over the paced plate, ticked through the program's use cases.
struct Rig {
  explicit Rig(const Scenario& scenario) : plate(scenario) {}
  std::unique_ptr<ProgramRecords> records = std::make_unique<ProgramRecords>();
  PacedPlate plate;
  PacedFactory factory{plate};
  ProgramPlate program{records->shared(),
                       std::make_unique<PlateSystem>(records->calibration, records->store.repetitions, factory)};
  PlateSystem& system = program.system();

  void start(bool repetitions) {
    const StartResult started =
        repetitions
            ? startForceTest(program, {.forceTestValue = 25, .startForce = 20, .forceTestMode = kRepetitionMode})
            : startPowerTest(program, {.powerTestTime = 61}, 75.0f);
    if (started != StartResult::Started) std::abort();
  }
  // Lets the next tick's frames through and waits until the reader has passed them on.
  void deliverOneTick() {
    plate.allow(kSamplesPerTick);
    const uint64_t bytes = static_cast<uint64_t>(plate.allowed()) * 4;
    while (system.link().bytesReceived() < bytes) std::this_thread::yield();
  }
};

Scenario pushes() { return {.kind = ScenarioKind::Pushes, .count = 100, .peak = 900, .duration = 250, .pause = 250}; }

// Whole tests, 100 frames per tick, timed tick by tick: the mean and the largest of the running
// ticks, and the tick that ends the test (it stops the link, and for a power test smooths and
// analyses 61000 samples).
void wholeTest(benchmark::State& state, bool repetitions) {
  Rig rig(repetitions ? pushes() : Scenario{.kind = ScenarioKind::Jump, .quiet = 1000});
  double largest = 0.0;
  double sum = 0.0;
  double last = 0.0;
  int64_t ticks = 0;
  for (auto _ : state) {
    rig.start(repetitions);
    while (true) {
      rig.deliverOneTick();
      const auto begin = Clock::now();
      const TestTick t = tickTest(rig.program);
      const double us = std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
      if (t.end != TestEnd::None) {
        last = std::max(last, us);
        break;
      }
      ++ticks;
      sum += us;
      largest = std::max(largest, us);
    }
  }
  state.counters["mean_tick_us"] = sum / static_cast<double>(ticks);
  state.counters["largest_tick_us"] = largest;
  state.counters["end_tick_us"] = last;
  state.counters["ticks_per_test"] = static_cast<double>(ticks) / static_cast<double>(state.iterations()) + 1;
}

void BM_WholePowerTest61s(benchmark::State& state) { wholeTest(state, false); }
void BM_WholeRepetitionTest25(benchmark::State& state) { wholeTest(state, true); }

BENCHMARK(BM_WholePowerTest61s)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WholeRepetitionTest25)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace velkora
