#pragma once
// What the subject library keeps and gives back: a test's entry (its file, the subject as the file
// holds it, the kind, date, sample count, body weight and every metric), the state of a file for the
// scan, subjects with their counts, and points of a trend. Times are seconds since 1970 (UTC).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/measurement_store.h"
#include "model/subject_info.h"
#include "reports/test_metrics.h"

namespace velkora {

// What tells the scan a file changed without reading it.
struct FileStamp {
  int64_t size = 0;
  int64_t modifiedNs = 0;  // modification time, nanoseconds since 1970
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// One value of the metrics: a number, a text (the jump type), or n/a (neither; stored as NULL).
struct StoredMetric {
  std::string key;  // "peakForce_N", per repetition "rep3.peakForce_N"
  MetricFormat format = MetricFormat::Fixed2;
  std::optional<double> value;
  std::optional<std::string> text;
  friend bool operator==(const StoredMetric&, const StoredMetric&) = default;
};

// A test as the library writes it: everything is taken from the file's bytes.
struct LibraryTest {
  std::string path;  // absolute and normalised
  FileStamp stamp;
  std::string contentHash;  // SHA-256 of the bytes, lowercase hex
  TestKind kind = TestKind::Force;
  int64_t testTime = 0;
  int32_t sampleCount = 0;
  float bodyWeight = 0.0f;  // kg, as stored in the file
  SubjectInfo subject;      // as stored in the file (the age is not in files)
  std::string subjectKey;   // subjectKey(subject.name)
  std::vector<StoredMetric> metrics;
  // The file's bytes, for a library that keeps them (a server); empty otherwise.
  std::string bytes;
};

// The scan's view of an entry.
struct LibraryFileState {
  int64_t testId = 0;
  std::string path;
  FileStamp stamp;
  std::string contentHash;
  bool missing = false;
};

// A test as the lists show it.
struct LibraryTestEntry {
  int64_t id = 0;
  int64_t subjectId = 0;
  std::string path;
  FileStamp stamp;
  std::string contentHash;
  TestKind kind = TestKind::Force;
  int64_t testTime = 0;
  int32_t sampleCount = 0;
  float bodyWeight = 0.0f;
  SubjectInfo subject;
  bool missing = false;   // the file was not found by the latest scan
  int64_t indexedAt = 0;  // when the entry was last written
  // The values of LibraryTestQuery::metricKeys in their order; nothing for n/a or a key the test lacks.
  std::vector<std::optional<double>> metrics;
};

struct LibrarySubject {
  int64_t id = 0;
  std::string name;                     // as typed in the subject's newest test
  std::string key;                      // the identity: trimmed and case-folded
  int64_t testCount = 0;                // tests whose files are present
  int64_t missingCount = 0;             // tests whose files are missing
  std::optional<int64_t> lastTestTime;  // newest present test
};

struct LibrarySubjectQuery {
  std::string search;  // case-folded text the key must contain; empty for all
  int64_t limit = -1;  // -1: no limit
  int64_t offset = 0;
};

struct LibraryTestQuery {
  std::optional<std::string> subjectKey;
  std::optional<TestKind> kind;
  std::optional<int64_t> since;  // tests at or after this time
  bool includeMissing = true;
  bool newestFirst = false;  // oldest first otherwise; ties in entry order
  int64_t limit = -1;
  int64_t offset = 0;
  std::vector<std::string> metricKeys;  // values to fetch with each test
};

struct LibraryTrendQuery {
  std::string subjectKey;
  std::string metricKey;
};

// One present test with a value of the metric (tests with n/a or a missing file are left out).
struct LibraryTrendPoint {
  int64_t testId = 0;
  int64_t testTime = 0;
  double value = 0.0;
  std::string path;
};

struct LibraryMetricKey {
  std::string key;
  MetricFormat format = MetricFormat::Fixed2;
};

}  // namespace velkora
