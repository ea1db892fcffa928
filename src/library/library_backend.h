#pragma once
// The one interface every library backend implements (SQLite, the embedded default; PostgreSQL, a
// library on a database server), at the level of the library's own operations, so the service above it
// and the shared test suite never see SQL. Every text is bound as a parameter; no backend builds SQL
// from data.
//
// A backend serves one thread. Several backends (threads, processes, programs) may share one library:
// writes happen inside writeTransaction, which waits for and retries around other writers.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/library_records.h"

namespace velkora {

enum class LibraryErrorKind {
  None,
  Damaged,         // the database cannot be read as one (corrupt, truncated, not a database)
  Foreign,         // a database, but not a Velkora library
  TooNew,          // a library of a newer schema than this program knows; refused, nothing written
  Busy,            // other writers held the library longer than the backend waits
  Unreachable,     // a server that cannot be reached (down, no route, connection lost); worth trying again
  Authentication,  // the server did not accept the user or the password (or none was found)
  Tls,             // the encrypted connection the location asks for could not be made
  Refused,         // the library refuses the operation (read-only access, ...)
  Failed,          // anything else: the message says what
};

struct LibraryStatus {
  LibraryErrorKind kind = LibraryErrorKind::None;
  std::string message;  // one line for the user; empty when ok

  bool ok() const { return kind == LibraryErrorKind::None; }
  static LibraryStatus success() { return {}; }
  static LibraryStatus failure(LibraryErrorKind kind, std::string message) { return {kind, std::move(message)}; }
};

class LibraryBackend {
 public:
  virtual ~LibraryBackend() = default;

  // Where the library is, for messages (a file path, a server without its password).
  virtual std::string describe() const = 0;

  // A library on a database server: shared by several computers, it keeps every test's file bytes
  // (upsertTest stores LibraryTest::bytes, fileBytes gives them back) and is never moved aside.
  virtual bool isServer() const { return false; }

  // Opens the library, creating it when absent, and brings its schema forward to the current version.
  // A schema newer than this program's is refused (TooNew) before anything is written.
  virtual LibraryStatus open() = 0;
  // The schema version the open library has (after migration, the program's).
  virtual int32_t schemaVersion() const = 0;
  // Closes the library and moves a damaged or foreign one out of the way (a file is renamed with a
  // timestamp beside itself), so that open() makes a fresh one in its place. `whereNow` says where it
  // went. A backend that cannot do this refuses.
  virtual LibraryStatus setAside(std::string& whereNow) = 0;

  // Runs `work` as one write transaction: committed when it returns ok, rolled back otherwise. A
  // backend may run `work` again when the database asks for it (a lock another writer held, a
  // serialization failure), so `work` must only write through this backend and be repeatable.
  virtual LibraryStatus writeTransaction(const std::function<LibraryStatus()>& work) = 0;

  // Writes (inside writeTransaction). Adds the test or replaces the entry of its path, with its subject
  // (created when its key is new; the subject's shown name follows its newest test) and all its metrics;
  // the entry counts as present again. `testId` receives the entry's id.
  virtual LibraryStatus upsertTest(const LibraryTest& test, int64_t& testId) = 0;
  // The file is unchanged in content but has a new stamp (touched, copied back); present again.
  virtual LibraryStatus updateStamp(int64_t testId, const FileStamp& stamp) = 0;
  virtual LibraryStatus setMissing(int64_t testId, bool missing) = 0;

  // Reads.
  // Every entry whose path lies in `folder` (an absolute, normalised folder) or below it.
  virtual LibraryStatus fileStatesUnder(const std::string& folder, std::vector<LibraryFileState>& states) = 0;
  virtual LibraryStatus testByPath(const std::string& path, std::optional<LibraryTestEntry>& test) = 0;
  virtual LibraryStatus testsByHash(const std::string& contentHash, std::vector<LibraryTestEntry>& tests) = 0;
  // Subjects with at least one test, in the order of their keys.
  virtual LibraryStatus listSubjects(const LibrarySubjectQuery& query, std::vector<LibrarySubject>& subjects) = 0;
  virtual LibraryStatus subjectByKey(const std::string& key, std::optional<LibrarySubject>& subject) = 0;
  // Tests by time (then by entry order), oldest first unless the query asks otherwise.
  virtual LibraryStatus listTests(const LibraryTestQuery& query, std::vector<LibraryTestEntry>& tests) = 0;
  // Every stored metric of one test, in the order it was written.
  virtual LibraryStatus testMetrics(int64_t testId, std::vector<StoredMetric>& metrics) = 0;
  // The subject's values of one metric, oldest first.
  virtual LibraryStatus trend(const LibraryTrendQuery& query, std::vector<LibraryTrendPoint>& points) = 0;
  // Every metric key the library has stored, with its number format.
  virtual LibraryStatus metricKeys(std::vector<LibraryMetricKey>& keys) = 0;
  // The bytes of the file whose SHA-256 is `contentHash`, when the library keeps them; nothing when it
  // has no such file. A library that keeps no files refuses.
  virtual LibraryStatus fileBytes(const std::string& contentHash, std::optional<std::string>& bytes) {
    (void)contentHash;
    bytes.reset();
    return LibraryStatus::failure(LibraryErrorKind::Refused,
                                  "the library " + describe() + " keeps no files; open the file itself");
  }
};

}  // namespace velkora
