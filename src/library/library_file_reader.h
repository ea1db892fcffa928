#pragma once
// One read of a measurement file gives everything its library entry holds: the stamp (from the open
// file), the content hash, the subject, kind, date, sample count and body weight, and every metric,
// all from the same bytes.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/measurement_store.h"
#include "library/library_records.h"
#include "reports/test_metrics.h"

namespace velkora {

struct MeasurementRecord;

// The metrics as the library stores them: the whole-test values under their keys, then every
// repetition's under "repK." and the key (K from 1).
std::vector<StoredMetric> storedMetrics(const TestMetrics& metrics);

// The stamp of a file as the scan compares it; false when it cannot be read (`error` says why).
bool fileStampOf(const std::string& path, FileStamp& stamp, std::error_code& error);

// Reads a whole regular file with the stamp of the very file read (never waiting on a FIFO); false with
// the system's reason otherwise.
bool readFileBytes(const std::string& path, std::string& bytes, FileStamp& stamp, std::error_code& error);

// The path the library keeps for a file: absolute, its folder with symbolic links resolved, "." and
// ".." taken out; the file's own name stays (a link to a file is indexed under the link's name).
std::string libraryPathOf(const std::string& path);

// Reads measurement files into library entries. Holds one recording's worth of memory, reused for
// every file; one reader per thread.
class LibraryFileReader {
 public:
  LibraryFileReader();
  ~LibraryFileReader();
  LibraryFileReader(const LibraryFileReader&) = delete;
  LibraryFileReader& operator=(const LibraryFileReader&) = delete;

  // Reads the file at `path` (already in library form) as `kind`, or as the kind its name says. On
  // failure returns false with the reason as the program words it ("Incompatible data", "Error opening
  // file: Permission denied", ...).
  bool read(const std::string& path, LibraryTest& test, std::string& reason, std::optional<TestKind> kind = {});

  // The same from bytes already read, with the stamp they were read under.
  bool readBytes(const std::string& path, std::string_view bytes, const FileStamp& stamp, LibraryTest& test,
                 std::string& reason, std::optional<TestKind> kind = {});

  // The bytes the last read() read.
  const std::string& lastBytes() const { return bytes_; }

 private:
  std::unique_ptr<MeasurementStore> store_;
  std::unique_ptr<MeasurementRecord> record_;
  std::string bytes_;
};

}  // namespace velkora
