// The printed digital report of a full 61000-sample recording (interval 1: 61000 rows) into an A4 PDF,
// with its page count and file size.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench_main.h"
#include "painting/graph_files.h"
#include "reports/digital_reports.h"

namespace {

using namespace velkora;

std::unique_ptr<MeasurementStore> fullRecording() {
  auto store = std::make_unique<MeasurementStore>();
  for (int32_t i = 0; i < kMaxSamples; ++i) {
    const int32_t phase = i % 3000;
    int32_t v = 700 + (i * 37) % 50;
    if (phase >= 1000 && phase < 1700) v = 1400 + (i * 13) % 40;
    if (phase >= 1700 && phase < 2100) v = 0;
    store->channels.vertical[i] = v;
    store->channels.horizontal[i] = -200 + (i * 11) % 400;
  }
  store->sampleCount = kMaxSamples;
  store->recordingAvailable = 1;
  store->testTime = 1700000000;
  return store;
}

void BM_PrintDigitalReport61000RowsToPdf(benchmark::State& state) {
  const auto store = fullRecording();
  DigitalReport report;
  fillIntervalReport(*store, 1, false, report);
  const GraphSettings settings;
  PrintDocument document{*store, settings, "Ann Lee", PageContent::Report};
  document.report = &report;
  std::string dir = (std::filesystem::temp_directory_path() / "velkora-bench-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string path = dir + "/report.pdf";
  std::string error;
  for (auto _ : state) {
    if (!writePrintedPdf(path, document, error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  std::error_code ec;
  state.counters["rows"] = report.rows.rowCount();
  state.counters["pages"] = pageCount(document, 2770);
  state.counters["pdf_MB"] = static_cast<double>(std::filesystem::file_size(path, ec)) / 1e6;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_PrintDigitalReport61000RowsToPdf)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

VELKORA_PAINTING_BENCHMARK_MAIN();
