// The report hot paths over a full 61000-sample recording: the digital report with interval 1, the
// Copy All and CSV texts of it, and opening a power file through to its summary and h-calcul reports.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/measurement_use_cases.h"
#include "app/program_records.h"
#include "reports/digital_reports.h"
#include "reports/jump_analysis.h"
#include "reports/report_export.h"
#include "storage/measurement_file.h"

namespace {

using namespace velkora;

// A full recording: standing, a push, a flight and a landing, repeated, with some horizontal sway.
std::unique_ptr<MeasurementStore> fullRecording(TestKind kind) {
  auto store = std::make_unique<MeasurementStore>();
  for (int32_t i = 0; i < kMaxSamples; ++i) {
    const int32_t phase = i % 3000;
    int32_t v = 700 + (i * 37) % 50;
    if (phase >= 1000 && phase < 1700) v = 1400 + (i * 13) % 40;
    if (phase >= 1700 && phase < 2100) v = 0;
    if (phase >= 2100 && phase < 2500) v = 1500;
    store->channels.vertical[i] = v;
    store->channels.horizontal[i] = -200 + (i * 11) % 400;
  }
  store->sampleCount = kMaxSamples;
  store->testKind = kind;
  store->bodyWeight = 72.5f;
  store->testTime = 1700000000;
  if (kind == TestKind::Power) computeJumpResults(*store);
  return store;
}

void BM_DigitalReportInterval1(benchmark::State& state) {
  auto store = fullRecording(TestKind::Force);
  DigitalReport report;
  for (auto _ : state) {
    fillIntervalReport(*store, 1, false, report);
    benchmark::DoNotOptimize(report.rows.rowCount());
  }
}
BENCHMARK(BM_DigitalReportInterval1)->Unit(benchmark::kMillisecond);

void BM_PowerReportInterval1(benchmark::State& state) {
  auto store = fullRecording(TestKind::Power);
  DigitalReport report;
  for (auto _ : state) {
    fillPowerReport(*store, 1, report);
    benchmark::DoNotOptimize(report.rows.rowCount());
  }
}
BENCHMARK(BM_PowerReportInterval1)->Unit(benchmark::kMillisecond);

void BM_CopyAllText(benchmark::State& state) {
  auto store = fullRecording(TestKind::Force);
  DigitalReport report;
  fillIntervalReport(*store, 1, false, report);
  for (auto _ : state) {
    std::string text = copyAllText(report);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_CopyAllText)->Unit(benchmark::kMillisecond);

void BM_CsvExportText(benchmark::State& state) {
  auto store = fullRecording(TestKind::Force);
  DigitalReport report;
  fillIntervalReport(*store, 1, false, report);
  for (auto _ : state) {
    std::string text = csvExportText(report, "Katarina Horvat", store->testTime, csvSeparatorForLocale());
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_CsvExportText)->Unit(benchmark::kMillisecond);

void BM_OpenPowerFileToJumpReports(benchmark::State& state) {
  std::string dir = (std::filesystem::temp_directory_path() / "velkora-bench-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) std::abort();
  const std::string path = dir + "/jump.tsr";
  CollectingMessageSink messages;
  {
    auto source = fullRecording(TestKind::Power);
    SubjectInfo subject{"Katarina Horvat", 0, 30, 64, 171, "", "", ""};
    if (!writeMeasurementFile(path, *source, subject, messages)) std::abort();
  }
  auto records = std::make_unique<ProgramRecords>();
  DigitalReport summary;
  DigitalReport height;
  for (auto _ : state) {
    if (!openMeasurement(records->shared(), path, TestKind::Power, messages)) state.SkipWithError("load failed");
    fillSummaryReport(records->store, summary);
    fillHeightReport(records->store, height);
    benchmark::DoNotOptimize(height.rows.cell(0, 1).data());
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_OpenPowerFileToJumpReports)->Unit(benchmark::kMillisecond);

}  // namespace
