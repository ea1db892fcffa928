// The subject library at its sizes: scanning 10,000 five-second test files into an empty library and
// rescanning them unchanged; and, on 100,000 tests over 2,000 subjects, opening the library, the subject
// search per keystroke, one subject's history and one trend. The database size per test is a counter.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "library/library_service.h"
#include "library/metric_catalog.h"
#include "library/subject_identity.h"
#include "reports/test_metrics.h"
#include "support/measurement_files.h"
#include "support/synthetic_library.h"

namespace {

using namespace velkora;
namespace fs = std::filesystem;

constexpr int kScanFiles = 10000;
constexpr int kQueryTests = 100000;
constexpr int kQuerySubjects = 2000;

class NoMessages final : public MessageSink {
 public:
  void showMessage(std::string_view) override {}
};

std::string scratchFolder() {
  std::string tmpl = (fs::temp_directory_path() / "velkora-library-bench-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
  return tmpl;
}

// 10,000 files of five seconds, half power and half force, over 500 subjects, generated once.
const std::string& scanFolder() {
  static const std::string folder = [] {
    const std::string dir = scratchFolder();
    for (int k = 0; k < kScanFiles; ++k) {
      const std::string sub = dir + "/DATA/" + std::to_string(k / 1000);
      if (k % 1000 == 0) fs::create_directories(sub);
      testing::GeneratedTest test;
      test.name = testing::syntheticSubjectName(k % 500);
      test.kind = k % 2 == 0 ? TestKind::Power : TestKind::Force;
      test.testTime = 1700000000 + k * 3600;
      test.mass = 55.0 + k % 40;
      test.flight = 350 + k % 150;
      const std::string path = sub + "/" + std::to_string(k) + (test.kind == TestKind::Power ? ".tsr" : ".vkr");
      if (!testing::writeGeneratedTest(path, test)) std::abort();
    }
    return dir;
  }();
  return folder;
}

std::unique_ptr<LibraryService> open(const std::string& location) {
  static NoMessages messages;
  LibraryStatus status;
  auto library = LibraryService::open({location, {}, false}, messages, status);
  if (!library) std::abort();
  return library;
}

void BM_ScanTenThousandFilesIntoAnEmptyLibrary(benchmark::State& state) {
  const std::string& dir = scanFolder();
  const std::string location = dir + "/library.sqlite";
  for (auto _ : state) {
    state.PauseTiming();
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(location + suffix);
    state.ResumeTiming();
    auto library = open(location);
    const LibraryScanSummary s = library->scan(dir + "/DATA");
    if (s.added != kScanFiles) state.SkipWithError("not every file was added");
  }
  state.counters["files"] = kScanFiles;
  state.counters["bytes_per_test"] = static_cast<double>(fs::file_size(location)) / kScanFiles;
}
BENCHMARK(BM_ScanTenThousandFilesIntoAnEmptyLibrary)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_RescanTenThousandUnchangedFiles(benchmark::State& state) {
  const std::string& dir = scanFolder();
  const std::string location = dir + "/library.sqlite";
  auto library = open(location);
  library->scan(dir + "/DATA");
  for (auto _ : state) {
    const LibraryScanSummary s = library->scan(dir + "/DATA");
    if (s.unchanged != kScanFiles) state.SkipWithError("files were read again");
  }
}
BENCHMARK(BM_RescanTenThousandUnchangedFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

// 100,000 tests over 2,000 subjects, 50 each over two years, with the metrics a real test has: every
// power key, or every whole-test force key and three repetitions.
const std::string& queryLibrary() {
  static const std::string location = [] {
    const std::string dir = scratchFolder();
    const std::string path = dir + "/library.sqlite";
    auto library = open(path);
    LibraryBackend& backend = library->backend();
    const int perBatch = 2000;
    for (int first = 0; first < kQueryTests; first += perBatch) {
      const LibraryStatus status = backend.writeTransaction([&] {
        for (int k = first; k < first + perBatch; ++k) {
          const LibraryTest test = testing::syntheticLibraryTest(k, kQuerySubjects, dir + "/DATA");
          int64_t id = 0;
          if (LibraryStatus s = backend.upsertTest(test, id); !s.ok()) return s;
        }
        return LibraryStatus::success();
      });
      if (!status.ok()) {
        std::fprintf(stderr, "%s\n", status.message.c_str());
        std::abort();
      }
    }
    return path;
  }();
  return location;
}

void BM_OpenLibraryWithFirstSubjects(benchmark::State& state) {
  const std::string& location = queryLibrary();
  for (auto _ : state) {
    auto library = open(location);
    std::vector<LibrarySubject> subjects;
    if (!library->subjects("", subjects).ok() || subjects.size() != kQuerySubjects) state.SkipWithError("list");
  }
  state.counters["tests"] = kQueryTests;
  state.counters["bytes_per_test"] = static_cast<double>(fs::file_size(location)) / kQueryTests;
}
BENCHMARK(BM_OpenLibraryWithFirstSubjects)->Unit(benchmark::kMillisecond);

void BM_SubjectSearchPerKeystroke(benchmark::State& state) {
  auto library = open(queryLibrary());
  const char* keystrokes[] = {"a", "an", "ann", "anna", "anna ", "anna m"};
  const std::string search = keystrokes[state.range(0)];
  size_t found = 0;
  for (auto _ : state) {
    std::vector<LibrarySubject> subjects;
    if (!library->subjects(search, subjects).ok()) state.SkipWithError("search");
    found = subjects.size();
  }
  state.SetLabel("\"" + search + "\": " + std::to_string(found) + " subjects");
}
BENCHMARK(BM_SubjectSearchPerKeystroke)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

void BM_OneSubjectsHistory(benchmark::State& state) {
  auto library = open(queryLibrary());
  LibraryTestQuery query;
  query.subjectKey = subjectKey(testing::syntheticSubjectName(1234));
  query.newestFirst = true;
  for (TestKind kind : {TestKind::Power, TestKind::Force})
    for (const KeyMetric& m : keyMetrics(kind)) {
      query.metricKeys.emplace_back(m.key);
      if (!m.perKey.empty()) query.metricKeys.emplace_back(m.perKey);
    }
  for (auto _ : state) {
    std::vector<LibraryTestEntry> tests;
    if (!library->tests(query, tests).ok() || tests.size() != kQueryTests / kQuerySubjects)
      state.SkipWithError("history");
  }
}
BENCHMARK(BM_OneSubjectsHistory)->Unit(benchmark::kMillisecond);

void BM_OneTrend(benchmark::State& state) {
  auto library = open(queryLibrary());
  const std::string name = testing::syntheticSubjectName(1234);
  for (auto _ : state) {
    std::vector<LibraryTrendPoint> points;
    if (!library->trend(name, "jumpHeightTakeoffVelocity_cm", points).ok() || points.empty())
      state.SkipWithError("trend");
  }
}
BENCHMARK(BM_OneTrend)->Unit(benchmark::kMillisecond);

}  // namespace
