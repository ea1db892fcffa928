#include "library/library_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "library/sha256.h"
#include "library/subject_identity.h"
#include "model/messages.h"
#include "storage/binary_io.h"
#include "storage/measurement_file.h"

namespace velkora {
namespace {

// Far above any measurement file (about 0.5 MB); a longer file is not one of ours.
constexpr size_t kMaxFileBytes = size_t(64) << 20;

FileStamp stampOf(const struct stat& st) {
  return {static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + static_cast<int64_t>(st.st_mtim.tv_nsec)};
}

}  // namespace

// Opened without blocking, so a FIFO named like a measurement file never hangs the scan.
bool readFileBytes(const std::string& path, std::string& bytes, FileStamp& stamp, std::error_code& error) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = std::error_code(errno, std::generic_category());
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = std::error_code(errno, std::generic_category());
  } else if (S_ISDIR(st.st_mode)) {
    error = std::error_code(EISDIR, std::generic_category());
  } else if (!S_ISREG(st.st_mode)) {
    error = FileError::NotRegularFile;
  }
  if (error) {
    ::close(fd);
    return false;
  }
  stamp = stampOf(st);
  bytes.resize(std::min(static_cast<size_t>(st.st_size), kMaxFileBytes + 1));
  size_t filled = 0;
  while (true) {
    if (filled == bytes.size()) {
      if (bytes.size() > kMaxFileBytes) break;
      bytes.resize(std::min(bytes.size() * 2 + 4096, kMaxFileBytes + 1));  // the file grew since fstat
    }
    const ssize_t n = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::error_code(errno, std::generic_category());
      ::close(fd);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(filled);
  return true;
}

namespace {

StoredMetric storedMetric(std::string key, const Metric& metric) {
  StoredMetric stored;
  stored.key = std::move(key);
  stored.format = metric.format;
  if (metric.present) {
    if (metric.format == MetricFormat::Text)
      stored.text = std::string(metric.text);
    else
      stored.value = metric.value;
  }
  return stored;
}

}  // namespace

std::vector<StoredMetric> storedMetrics(const TestMetrics& metrics) {
  std::vector<StoredMetric> stored;
  size_t count = metrics.whole.size();
  for (const auto& repetition : metrics.repetitions) count += repetition.size();
  stored.reserve(count);
  for (const Metric& metric : metrics.whole) stored.push_back(storedMetric(std::string(metric.key), metric));
  for (size_t k = 0; k < metrics.repetitions.size(); ++k) {
    const std::string prefix = "rep" + std::to_string(k + 1) + ".";
    for (const Metric& metric : metrics.repetitions[k])
      stored.push_back(storedMetric(prefix + std::string(metric.key), metric));
  }
  return stored;
}

bool fileStampOf(const std::string& path, FileStamp& stamp, std::error_code& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = std::error_code(errno, std::generic_category());
    return false;
  }
  stamp = stampOf(st);
  return true;
}

std::string libraryPathOf(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path absolute = fs::absolute(fs::path(path), error);
  if (error) absolute = fs::path(path);
  absolute = absolute.lexically_normal();
  if (!absolute.has_filename()) absolute = absolute.parent_path();  // "dir/" names the folder "dir"
  fs::path folder = fs::weakly_canonical(absolute.parent_path(), error);
  if (error) folder = absolute.parent_path();
  return (folder / absolute.filename()).string();
}

LibraryFileReader::LibraryFileReader()
    : store_(std::make_unique<MeasurementStore>()), record_(std::make_unique<MeasurementRecord>()) {}

LibraryFileReader::~LibraryFileReader() = default;

bool LibraryFileReader::read(const std::string& path, LibraryTest& test, std::string& reason,
                             std::optional<TestKind> kind) {
  FileStamp stamp;
  std::error_code error;
  if (!readFileBytes(path, bytes_, stamp, error)) {
    reason = std::string(msg::kErrorOpeningFile) + ": " + error.message();
    return false;
  }
  return readBytes(path, bytes_, stamp, test, reason, kind);
}

bool LibraryFileReader::readBytes(const std::string& path, std::string_view bytes, const FileStamp& stamp,
                                  LibraryTest& test, std::string& reason, std::optional<TestKind> kindOverride) {
  if (bytes.size() > kMaxFileBytes) {
    reason = std::string(msg::kIncompatibleData);
    return false;
  }
  switch (decodeMeasurement(bytes, *record_)) {
    case DecodeStatus::Ok:
      break;
    case DecodeStatus::Truncated:
      reason = formatMessage(msg::kPastEnd, path);
      return false;
    case DecodeStatus::WrongTag:
    case DecodeStatus::OutOfRange:
      reason = std::string(msg::kIncompatibleData);
      return false;
  }
  // As opening the file in the program does: the data and the kind the name says. The metrics read the
  // vertical forces alone, so the jump analysis the window needs is not run.
  SubjectInfo subject;
  applyMeasurement(*record_, *store_, subject);
  const TestKind kind = kindOverride.value_or(testKindForPath(path));
  store_->testKind = kind;

  test.path = path;
  test.stamp = stamp;
  test.contentHash = contentHash(bytes);
  test.kind = kind;
  test.testTime = testTimeSeconds(store_->testTime);
  test.sampleCount = store_->sampleCount.load(std::memory_order_relaxed);
  test.bodyWeight = store_->bodyWeight;
  test.subject = subject;
  test.subjectKey = subjectKey(subject.name);
  test.metrics = storedMetrics(computeTestMetrics(*store_, kind));
  return true;
}

}  // namespace velkora
