// The kinematics model and the metrics over full 61000-sample recordings: a countermovement jump in a
// minute of standing (the model at analysis, the power metrics) and a force test of 25 repetitions.
#include <benchmark/benchmark.h>

#include <memory>

#include "reports/jump_analysis.h"
#include "reports/test_metrics.h"

namespace {

using namespace velkora;

// 1.5 s of standing with noise, a countermovement, a push, a flight, a landing, standing to the end.
std::unique_ptr<MeasurementStore> jumpInAMinute() {
  auto store = std::make_unique<MeasurementStore>();
  uint32_t noise = 1;
  for (int32_t i = 0; i < kMaxSamples; ++i) {
    noise = noise * 1664525u + 1013904223u;
    int32_t v = 736 + static_cast<int32_t>(noise >> 29) - 4;
    if (i >= 1500 && i < 1800) v = 400 + (i - 1500);
    if (i >= 1800 && i < 2100) v = 1500 + (i - 1800);
    if (i >= 2100 && i < 2550) v = 0;
    if (i >= 2550 && i < 2750) v = 1900 - 2 * (i - 2550);
    store->channels.vertical[i] = v;
    store->channels.horizontal[i] = static_cast<int32_t>(noise >> 28) - 8;
  }
  store->sampleCount = kMaxSamples;
  store->testKind = TestKind::Power;
  store->bodyWeight = 75.0f;
  return store;
}

// 25 pushes of 1.2 s each, every 2.4 s.
std::unique_ptr<MeasurementStore> pushesInAMinute() {
  auto store = std::make_unique<MeasurementStore>();
  for (int32_t i = 0; i < kMaxSamples; ++i) {
    const int32_t t = i % 2400;
    store->channels.vertical[i] = t >= 200 && t < 1400 ? 100 + (t < 800 ? 2 * (t - 200) : 1200 - (t - 800)) : 0;
    store->channels.horizontal[i] = 0;
  }
  store->sampleCount = kMaxSamples;
  store->testKind = TestKind::Force;
  return store;
}

void BM_KinematicsModelAtAnalysis(benchmark::State& state) {
  auto store = jumpInAMinute();
  for (auto _ : state) {
    computeJumpResults(*store);
    benchmark::DoNotOptimize(store->jump.phases.takeOff);
  }
  if (!store->jump.hasModel) state.SkipWithError("the recording has no model");
}
BENCHMARK(BM_KinematicsModelAtAnalysis)->Unit(benchmark::kMicrosecond);

void BM_PowerTestMetrics(benchmark::State& state) {
  auto store = jumpInAMinute();
  for (auto _ : state) {
    TestMetrics metrics = computeTestMetrics(*store, TestKind::Power);
    benchmark::DoNotOptimize(metrics.whole.data());
  }
  if (computeTestMetrics(*store, TestKind::Power).whole[6].text != "CMJ") state.SkipWithError("not a CMJ");
}
BENCHMARK(BM_PowerTestMetrics)->Unit(benchmark::kMicrosecond);

void BM_ForceTestMetrics(benchmark::State& state) {
  auto store = pushesInAMinute();
  for (auto _ : state) {
    TestMetrics metrics = computeTestMetrics(*store, TestKind::Force);
    benchmark::DoNotOptimize(metrics.repetitions.data());
  }
}
BENCHMARK(BM_ForceTestMetrics)->Unit(benchmark::kMicrosecond);

}  // namespace
