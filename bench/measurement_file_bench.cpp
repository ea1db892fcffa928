// Saving and loading a full 61000-sample measurement file through the real functions, on disk.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "storage/measurement_file.h"

namespace {

using namespace velkora;

struct FullFile {
  std::string dir;
  std::string path;
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  SubjectInfo subject{"Katarina Horvat", 0, 30, 64, 171, "left leg", "", "after warm-up"};
  CollectingMessageSink messages;

  FullFile() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "velkora-bench-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    dir = tmpl;
    path = dir + "/full.vkr";
    for (int32_t i = 0; i < kMaxSamples; ++i) {
      store->channels.vertical[i] = 700 + (i * 37) % 1500;
      store->channels.horizontal[i] = -200 + (i * 11) % 400;
    }
    store->sampleCount = kMaxSamples;
    store->repetitions.count = kMaxRepetitions;
    store->testTime = 1700000000;
  }
  ~FullFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

void BM_SaveFullFile(benchmark::State& state) {
  FullFile f;
  for (auto _ : state) {
    if (!writeMeasurementFile(f.path, *f.store, f.subject, f.messages)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(f.path)));
}
BENCHMARK(BM_SaveFullFile)->Unit(benchmark::kMillisecond);

void BM_LoadFullFile(benchmark::State& state) {
  FullFile f;
  if (!writeMeasurementFile(f.path, *f.store, f.subject, f.messages)) std::abort();
  auto target = std::make_unique<MeasurementStore>();
  SubjectInfo subject;
  for (auto _ : state) {
    if (!readMeasurementFile(f.path, TestKind::Force, *target, subject, f.messages)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(target->channels.vertical[kMaxSamples - 1]);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(f.path)));
}
BENCHMARK(BM_LoadFullFile)->Unit(benchmark::kMillisecond);

// The pure encoding and decoding, to tell their share from the file system's.
void BM_EncodeFullFile(benchmark::State& state) {
  FullFile f;
  for (auto _ : state) benchmark::DoNotOptimize(encodeMeasurement(*f.store, f.subject));
}
BENCHMARK(BM_EncodeFullFile)->Unit(benchmark::kMillisecond);

void BM_DecodeFullFile(benchmark::State& state) {
  FullFile f;
  const std::string bytes = encodeMeasurement(*f.store, f.subject);
  auto record = std::make_unique<MeasurementRecord>();
  for (auto _ : state) benchmark::DoNotOptimize(decodeMeasurement(bytes, *record));
}
BENCHMARK(BM_DecodeFullFile)->Unit(benchmark::kMillisecond);

}  // namespace
