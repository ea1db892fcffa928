#include "library/sqlite_backend.h"

#include <sqlite3.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unordered_map>
#include <utility>

#include "library/library_outbox.h"

namespace velkora {
namespace {

constexpr int kBusyTimeoutMs = 5000;
// BEGIN IMMEDIATE waits kBusyTimeoutMs for other writers each time; this many times in all.
constexpr int kWriteAttempts = 12;

// Migration k brings a library of version k - 1 to version k. Each runs in one transaction with the
// version change, so a library is always at one of these versions.
constexpr std::array<const char*, kSqliteLibrarySchemaVersion> kMigrations = {
    R"sql(
CREATE TABLE subjects (
  id INTEGER PRIMARY KEY,
  subject_key TEXT NOT NULL UNIQUE,
  name TEXT NOT NULL,
  name_time INTEGER NOT NULL
);
CREATE TABLE tests (
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL UNIQUE,
  subject_id INTEGER NOT NULL REFERENCES subjects(id),
  file_size INTEGER NOT NULL,
  file_mtime_ns INTEGER NOT NULL,
  content_hash TEXT NOT NULL,
  kind INTEGER NOT NULL,
  test_time INTEGER NOT NULL,
  sample_count INTEGER NOT NULL,
  body_weight REAL NOT NULL,
  subject_name TEXT NOT NULL,
  sex INTEGER NOT NULL,
  height INTEGER NOT NULL,
  weight INTEGER NOT NULL,
  comment1 TEXT NOT NULL,
  comment2 TEXT NOT NULL,
  comment3 TEXT NOT NULL,
  missing INTEGER NOT NULL DEFAULT 0,
  indexed_at INTEGER NOT NULL
);
CREATE INDEX tests_by_subject ON tests(subject_id, missing, test_time);
CREATE INDEX tests_by_time ON tests(test_time);
CREATE INDEX tests_by_hash ON tests(content_hash);
CREATE TABLE metric_keys (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  format INTEGER NOT NULL
);
CREATE TABLE metrics (
  test_id INTEGER NOT NULL REFERENCES tests(id) ON DELETE CASCADE,
  key_id INTEGER NOT NULL REFERENCES metric_keys(id),
  position INTEGER NOT NULL,
  value REAL,
  text TEXT,
  PRIMARY KEY (test_id, key_id)
) WITHOUT ROWID;
)sql",
    // Version 2: tests waiting for a server library that could not be reached. AUTOINCREMENT: an id is
    // never given twice, so removing a sent item never removes a newer one.
    R"sql(
CREATE TABLE outbox (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  server TEXT NOT NULL,
  path TEXT NOT NULL,
  kind INTEGER,
  file_size INTEGER NOT NULL,
  file_mtime_ns INTEGER NOT NULL,
  content_hash TEXT NOT NULL,
  bytes BLOB NOT NULL,
  queued_at INTEGER NOT NULL,
  UNIQUE (server, path)
);
)sql",
};

#define VELKORA_TEST_COLUMNS                                                                                       \
  "t.id, t.subject_id, t.path, t.file_size, t.file_mtime_ns, t.content_hash, t.kind, t.test_time, "                \
  "t.sample_count, t.body_weight, t.subject_name, t.sex, t.height, t.weight, t.comment1, t.comment2, t.comment3, " \
  "t.missing, t.indexed_at"

#define VELKORA_SUBJECT_COLUMNS                                                  \
  "s.id, s.name, s.subject_key, "                                                \
  "(SELECT count(*) FROM tests t WHERE t.subject_id = s.id AND t.missing = 0), " \
  "(SELECT count(*) FROM tests t WHERE t.subject_id = s.id AND t.missing = 1), " \
  "(SELECT max(t.test_time) FROM tests t WHERE t.subject_id = s.id AND t.missing = 0)"

#define VELKORA_TEST_FILTER \
  " AND (?2 IS NULL OR t.kind = ?2) AND (?3 IS NULL OR t.test_time >= ?3) AND (?4 OR t.missing = 0)"

enum Sql : size_t {
  kUpsertSubject,
  kSubjectId,
  kTestIdAndSubject,
  kInsertTest,
  kUpdateTest,
  kDeleteMetrics,
  kDropSubjectIfUnused,
  kInsertKey,
  kKeyId,
  kInsertMetric,
  kUpdateStamp,
  kSetMissing,
  kFileStatesUnder,
  kTestByPath,
  kTestsByHash,
  kListSubjects,
  kSubjectByKey,
  kTestsOfSubjectOldestFirst,
  kTestsOfSubjectNewestFirst,
  kTestsOldestFirst,
  kTestsNewestFirst,
  kMetricValue,
  kTestMetrics,
  kTrend,
  kMetricKeys,
  kOutboxFind,
  kOutboxDelete,
  kOutboxInsert,
  kOutboxCount,
  kOutboxNext,
  kOutboxServers,
  kSqlCount
};

constexpr std::array<const char*, kSqlCount> kStatements = {
    // kUpsertSubject: the shown name follows the newest test
    "INSERT INTO subjects(subject_key, name, name_time) VALUES(?1, ?2, ?3) "
    "ON CONFLICT(subject_key) DO UPDATE SET name = excluded.name, name_time = excluded.name_time "
    "WHERE excluded.name_time >= subjects.name_time",
    // kSubjectId
    "SELECT id FROM subjects WHERE subject_key = ?1",
    // kTestIdAndSubject
    "SELECT id, subject_id FROM tests WHERE path = ?1",
    // kInsertTest
    "INSERT INTO tests(path, subject_id, file_size, file_mtime_ns, content_hash, kind, test_time, sample_count, "
    "body_weight, subject_name, sex, height, weight, comment1, comment2, comment3, missing, indexed_at) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, 0, ?17)",
    // kUpdateTest
    "UPDATE tests SET path = ?1, subject_id = ?2, file_size = ?3, file_mtime_ns = ?4, content_hash = ?5, kind = ?6, "
    "test_time = ?7, sample_count = ?8, body_weight = ?9, subject_name = ?10, sex = ?11, height = ?12, weight = ?13, "
    "comment1 = ?14, comment2 = ?15, comment3 = ?16, missing = 0, indexed_at = ?17 WHERE id = ?18",
    // kDeleteMetrics
    "DELETE FROM metrics WHERE test_id = ?1",
    // kDropSubjectIfUnused
    "DELETE FROM subjects WHERE id = ?1 AND NOT EXISTS (SELECT 1 FROM tests WHERE subject_id = ?1)",
    // kInsertKey
    "INSERT INTO metric_keys(name, format) VALUES(?1, ?2) "
    "ON CONFLICT(name) DO UPDATE SET format = excluded.format WHERE format <> excluded.format",
    // kKeyId
    "SELECT id FROM metric_keys WHERE name = ?1",
    // kInsertMetric
    "INSERT INTO metrics(test_id, key_id, position, value, text) VALUES(?1, ?2, ?3, ?4, ?5)",
    // kUpdateStamp
    "UPDATE tests SET file_size = ?2, file_mtime_ns = ?3, missing = 0, indexed_at = ?4 WHERE id = ?1",
    // kSetMissing
    "UPDATE tests SET missing = ?2 WHERE id = ?1",
    // kFileStatesUnder: the paths from "folder/" up to (not including) "folder0", '0' following '/'
    "SELECT id, path, file_size, file_mtime_ns, content_hash, missing FROM tests WHERE path >= ?1 AND path < ?2",
    // kTestByPath
    "SELECT " VELKORA_TEST_COLUMNS " FROM tests t WHERE t.path = ?1",
    // kTestsByHash
    "SELECT " VELKORA_TEST_COLUMNS " FROM tests t WHERE t.content_hash = ?1 ORDER BY t.test_time, t.id",
    // kListSubjects
    "SELECT " VELKORA_SUBJECT_COLUMNS
    " FROM subjects s WHERE instr(s.subject_key, ?1) > 0 ORDER BY s.subject_key, s.id LIMIT ?2 OFFSET ?3",
    // kSubjectByKey
    "SELECT " VELKORA_SUBJECT_COLUMNS " FROM subjects s WHERE s.subject_key = ?1",
    // kTestsOfSubjectOldestFirst
    "SELECT " VELKORA_TEST_COLUMNS
    " FROM tests t JOIN subjects s ON s.id = t.subject_id WHERE s.subject_key = ?1" VELKORA_TEST_FILTER
    " ORDER BY t.test_time, t.id LIMIT ?5 OFFSET ?6",
    // kTestsOfSubjectNewestFirst
    "SELECT " VELKORA_TEST_COLUMNS
    " FROM tests t JOIN subjects s ON s.id = t.subject_id WHERE s.subject_key = ?1" VELKORA_TEST_FILTER
    " ORDER BY t.test_time DESC, t.id DESC LIMIT ?5 OFFSET ?6",
    // kTestsOldestFirst (?1 is unused and bound NULL)
    "SELECT " VELKORA_TEST_COLUMNS " FROM tests t WHERE ?1 IS NULL" VELKORA_TEST_FILTER
    " ORDER BY t.test_time, t.id LIMIT ?5 OFFSET ?6",
    // kTestsNewestFirst
    "SELECT " VELKORA_TEST_COLUMNS " FROM tests t WHERE ?1 IS NULL" VELKORA_TEST_FILTER
    " ORDER BY t.test_time DESC, t.id DESC LIMIT ?5 OFFSET ?6",
    // kMetricValue
    "SELECT value FROM metrics WHERE test_id = ?1 AND key_id = ?2",
    // kTestMetrics
    "SELECT k.name, k.format, m.value, m.text FROM metrics m JOIN metric_keys k ON k.id = m.key_id "
    "WHERE m.test_id = ?1 ORDER BY m.position",
    // kTrend
    "SELECT t.id, t.test_time, m.value, t.path FROM tests t JOIN subjects s ON s.id = t.subject_id "
    "JOIN metrics m ON m.test_id = t.id JOIN metric_keys k ON k.id = m.key_id "
    "WHERE s.subject_key = ?1 AND k.name = ?2 AND t.missing = 0 AND m.value IS NOT NULL "
    "ORDER BY t.test_time, t.id",
    // kMetricKeys
    "SELECT name, format FROM metric_keys ORDER BY id",
    // kOutboxFind
    "SELECT id, content_hash FROM outbox WHERE server = ?1 AND path = ?2",
    // kOutboxDelete
    "DELETE FROM outbox WHERE id = ?1",
    // kOutboxInsert
    "INSERT INTO outbox(server, path, kind, file_size, file_mtime_ns, content_hash, bytes, queued_at) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
    // kOutboxCount
    "SELECT count(*) FROM outbox WHERE ?1 = '' OR server = ?1",
    // kOutboxNext
    "SELECT id, server, path, kind, file_size, file_mtime_ns, content_hash, bytes, queued_at FROM outbox "
    "WHERE (?1 = '' OR server = ?1) AND id > ?2 ORDER BY id LIMIT 1",
    // kOutboxServers
    "SELECT server FROM outbox GROUP BY server ORDER BY min(id)",
};

#undef VELKORA_TEST_COLUMNS
#undef VELKORA_SUBJECT_COLUMNS
#undef VELKORA_TEST_FILTER

LibraryErrorKind errorKind(int code) {
  switch (code & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return LibraryErrorKind::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return LibraryErrorKind::Busy;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return LibraryErrorKind::Refused;
    default:
      return LibraryErrorKind::Failed;
  }
}

// One use of a prepared statement: bindings, steps and columns; reset when the scope ends.
class Use {
 public:
  explicit Use(sqlite3_stmt* statement) : s_(statement) {}
  ~Use() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;

  Use& bind(int index, int64_t value) { return check(sqlite3_bind_int64(s_, index, value)); }
  Use& bind(int index, double value) { return check(sqlite3_bind_double(s_, index, value)); }
  Use& bind(int index, std::string_view text) {
    return check(sqlite3_bind_text64(s_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
  }
  Use& bindNull(int index) { return check(sqlite3_bind_null(s_, index)); }
  Use& bindBlob(int index, std::string_view bytes) {
    return check(sqlite3_bind_blob64(s_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
  }
  template <typename T>
  Use& bind(int index, const std::optional<T>& value) {
    return value ? bind(index, *value) : bindNull(index);
  }

  // SQLITE_ROW, SQLITE_DONE or the error of a failed binding or step.
  int step() { return bindError_ != SQLITE_OK ? bindError_ : sqlite3_step(s_); }

  int64_t integer(int column) const { return sqlite3_column_int64(s_, column); }
  double real(int column) const { return sqlite3_column_double(s_, column); }
  bool isNull(int column) const { return sqlite3_column_type(s_, column) == SQLITE_NULL; }
  std::string text(int column) const {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(s_, column));
    const int size = sqlite3_column_bytes(s_, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<size_t>(size));
  }
  std::string blob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s_, column));
    const int size = sqlite3_column_bytes(s_, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<size_t>(size));
  }

 private:
  Use& check(int code) {
    if (code != SQLITE_OK && bindError_ == SQLITE_OK) bindError_ = code;
    return *this;
  }
  sqlite3_stmt* s_;
  int bindError_ = SQLITE_OK;
};

void readEntry(const Use& row, LibraryTestEntry& entry) {
  entry.id = row.integer(0);
  entry.subjectId = row.integer(1);
  entry.path = row.text(2);
  entry.stamp = {row.integer(3), row.integer(4)};
  entry.contentHash = row.text(5);
  entry.kind = row.integer(6) == 1 ? TestKind::Power : TestKind::Force;
  entry.testTime = row.integer(7);
  entry.sampleCount = static_cast<int32_t>(row.integer(8));
  entry.bodyWeight = static_cast<float>(row.real(9));
  entry.subject.name = row.text(10);
  entry.subject.sex = static_cast<int32_t>(row.integer(11));
  entry.subject.height = static_cast<int32_t>(row.integer(12));
  entry.subject.weight = static_cast<int32_t>(row.integer(13));
  entry.subject.comment1 = row.text(14);
  entry.subject.comment2 = row.text(15);
  entry.subject.comment3 = row.text(16);
  entry.missing = row.integer(17) != 0;
  entry.indexedAt = row.integer(18);
}

void readSubject(const Use& row, LibrarySubject& subject) {
  subject.id = row.integer(0);
  subject.name = row.text(1);
  subject.key = row.text(2);
  subject.testCount = row.integer(3);
  subject.missingCount = row.integer(4);
  if (!row.isNull(5)) subject.lastTestTime = row.integer(5);
}

MetricFormat formatFromStored(int64_t value) {
  if (value < static_cast<int64_t>(MetricFormat::Integer) || value > static_cast<int64_t>(MetricFormat::Text))
    return MetricFormat::Fixed2;
  return static_cast<MetricFormat>(value);
}

// What a library file says of itself: its owner, its schema version and how many schema objects it has.
struct LibraryHeader {
  int64_t applicationId = 0;
  int64_t version = 0;
  int64_t objects = 0;
};

// Reads the header of an open file; the SQLite result, SQLITE_ROW when it was read.
int readLibraryHeader(sqlite3* db, LibraryHeader& header) {
  sqlite3_stmt* s = nullptr;
  int rc = sqlite3_prepare_v2(db,
                              "SELECT (SELECT application_id FROM pragma_application_id), "
                              "(SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_schema)",
                              -1, &s, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) {
    header.applicationId = sqlite3_column_int64(s, 0);
    header.version = sqlite3_column_int64(s, 1);
    header.objects = sqlite3_column_int64(s, 2);
  }
  sqlite3_finalize(s);
  return rc;
}

class SqliteBackend final : public LibraryBackend, public LibraryOutboxStore {
 public:
  explicit SqliteBackend(std::string path) : path_(std::move(path)) {}
  ~SqliteBackend() override { close(); }

  std::string describe() const override { return path_; }
  LibraryStatus open() override;
  int32_t schemaVersion() const override { return version_; }
  LibraryStatus setAside(std::string& whereNow) override;
  LibraryStatus writeTransaction(const std::function<LibraryStatus()>& work) override;
  LibraryStatus upsertTest(const LibraryTest& test, int64_t& testId) override;
  LibraryStatus updateStamp(int64_t testId, const FileStamp& stamp) override;
  LibraryStatus setMissing(int64_t testId, bool missing) override;
  LibraryStatus fileStatesUnder(const std::string& folder, std::vector<LibraryFileState>& states) override;
  LibraryStatus testByPath(const std::string& path, std::optional<LibraryTestEntry>& test) override;
  LibraryStatus testsByHash(const std::string& contentHash, std::vector<LibraryTestEntry>& tests) override;
  LibraryStatus listSubjects(const LibrarySubjectQuery& query, std::vector<LibrarySubject>& subjects) override;
  LibraryStatus subjectByKey(const std::string& key, std::optional<LibrarySubject>& subject) override;
  LibraryStatus listTests(const LibraryTestQuery& query, std::vector<LibraryTestEntry>& tests) override;
  LibraryStatus testMetrics(int64_t testId, std::vector<StoredMetric>& metrics) override;
  LibraryStatus trend(const LibraryTrendQuery& query, std::vector<LibraryTrendPoint>& points) override;
  LibraryStatus metricKeys(std::vector<LibraryMetricKey>& keys) override;

  LibraryStatus enqueue(const OutboxItem& item, int64_t& id) override;
  LibraryStatus outboxCount(const std::string& server, int64_t& count) override;
  LibraryStatus nextInOutbox(const std::string& server, int64_t afterId, std::optional<OutboxItem>& item) override;
  LibraryStatus removeFromOutbox(int64_t id) override;
  LibraryStatus outboxServers(std::vector<std::string>& servers) override;

 private:
  void close();
  LibraryStatus failure(int code, std::string_view doing) const;
  // Runs constant SQL (schema and pragmas), statement by statement.
  int runScript(const char* sql);
  LibraryStatus checkOwner();
  LibraryStatus migrate();
  LibraryStatus beginImmediate();
  LibraryStatus notOpen() const;
  LibraryStatus needsTransaction() const;
  LibraryStatus keyId(const StoredMetric& metric, int64_t& id);
  LibraryStatus lookUpKeyId(std::string_view key, std::optional<int64_t>& id);
  sqlite3_stmt* statement(Sql which) const { return statements_[which]; }

  std::string path_;
  sqlite3* db_ = nullptr;
  int32_t version_ = 0;
  int64_t storedVersion_ = 0;  // as checkOwner found it
  std::array<sqlite3_stmt*, kSqlCount> statements_{};
  bool inTransaction_ = false;
  // Metric key ids: known ones, and those written by the transaction under way (forgotten on rollback).
  std::unordered_map<std::string, int64_t> keyIds_;
  std::unordered_map<std::string, int64_t> pendingKeyIds_;
  // The formats this connection has written, so each key's format is written once per connection.
  std::unordered_map<std::string, MetricFormat> keyFormats_;
  std::unordered_map<std::string, MetricFormat> pendingKeyFormats_;
};

void SqliteBackend::close() {
  for (sqlite3_stmt*& s : statements_) {
    sqlite3_finalize(s);
    s = nullptr;
  }
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
  version_ = 0;
  inTransaction_ = false;
  keyIds_.clear();
  pendingKeyIds_.clear();
  keyFormats_.clear();
  pendingKeyFormats_.clear();
}

LibraryStatus SqliteBackend::failure(int code, std::string_view doing) const {
  std::string message = "the library " + path_ + ": " + std::string(doing) + ": ";
  message += db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
  return LibraryStatus::failure(errorKind(code), std::move(message));
}

LibraryStatus SqliteBackend::notOpen() const {
  return LibraryStatus::failure(LibraryErrorKind::Failed, "the library " + path_ + " is not open");
}

LibraryStatus SqliteBackend::needsTransaction() const {
  return LibraryStatus::failure(LibraryErrorKind::Failed,
                                "the library " + path_ + " was written outside a transaction");
}

int SqliteBackend::runScript(const char* sql) {
  const char* next = sql;
  while (next != nullptr && *next != '\0') {
    sqlite3_stmt* s = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, next, -1, &s, &tail);
    if (rc != SQLITE_OK) return rc;
    next = tail;
    if (s == nullptr) continue;  // white space after the last statement
    do rc = sqlite3_step(s);
    while (rc == SQLITE_ROW);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE) return rc;
  }
  return SQLITE_OK;
}

// Who the file belongs to, read before anything is written: ours (at most our version), empty (new or
// version 0 without tables), or someone else's.
LibraryStatus SqliteBackend::checkOwner() {
  LibraryHeader header;
  if (const int rc = readLibraryHeader(db_, header); rc != SQLITE_ROW) return failure(rc, "cannot read it");
  const int64_t applicationId = header.applicationId, version = header.version, objects = header.objects;
  storedVersion_ = version;
  if (applicationId == kSqliteLibraryApplicationId) {
    if (version > kSqliteLibrarySchemaVersion)
      return LibraryStatus::failure(
          LibraryErrorKind::TooNew,
          "the library " + path_ + " has schema version " + std::to_string(version) +
              ", newer than this program knows (" + std::to_string(kSqliteLibrarySchemaVersion) +
              "); it was left unchanged. Use a newer Velkora with it, or choose another library with --library.");
    return LibraryStatus::success();
  }
  if (applicationId != 0 || objects > 0)
    return LibraryStatus::failure(LibraryErrorKind::Foreign, "the file " + path_ + " is not a Velkora library");
  return LibraryStatus::success();
}

LibraryStatus SqliteBackend::beginImmediate() {
  for (int attempt = 1;; ++attempt) {
    const int rc = runScript("BEGIN IMMEDIATE");
    if (rc == SQLITE_OK) return LibraryStatus::success();
    if (errorKind(rc) != LibraryErrorKind::Busy || attempt >= kWriteAttempts) return failure(rc, "cannot write");
  }
}

LibraryStatus SqliteBackend::migrate() {
  if (storedVersion_ == kSqliteLibrarySchemaVersion) {
    version_ = kSqliteLibrarySchemaVersion;
    return LibraryStatus::success();
  }
  if (LibraryStatus s = beginImmediate(); !s.ok()) return s;
  // Read again under the write lock: another program may have migrated meanwhile.
  LibraryStatus status = checkOwner();
  const int64_t version = storedVersion_;
  for (int64_t next = version + 1; status.ok() && next <= kSqliteLibrarySchemaVersion; ++next) {
    const int rc = runScript(kMigrations[static_cast<size_t>(next - 1)]);
    if (rc != SQLITE_OK) status = failure(rc, "cannot bring its schema to version " + std::to_string(next));
  }
  if (status.ok() && version < kSqliteLibrarySchemaVersion) {
    // Whole numbers of our own, not data: the pragmas take no parameters.
    const std::string stamp = "PRAGMA application_id = " + std::to_string(kSqliteLibraryApplicationId) +
                              "; PRAGMA user_version = " + std::to_string(kSqliteLibrarySchemaVersion) + ";";
    const int rc = runScript(stamp.c_str());
    if (rc != SQLITE_OK) status = failure(rc, "cannot record its schema version");
  }
  if (status.ok()) {
    const int rc = runScript("COMMIT");
    if (rc == SQLITE_OK) {
      version_ = kSqliteLibrarySchemaVersion;
      storedVersion_ = version_;
      return status;
    }
    status = failure(rc, "cannot write");
  }
  runScript("ROLLBACK");
  return status;
}

LibraryStatus SqliteBackend::open() {
  close();
  // A library is made where it is named, its folder too (the user's place may not exist yet).
  std::error_code folderError;
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, folderError);
  int rc = sqlite3_open_v2(path_.c_str(), &db_,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE,
                           nullptr);
  if (rc != SQLITE_OK) {
    LibraryStatus status = failure(rc, "cannot open it");
    if (status.kind == LibraryErrorKind::Damaged) status.kind = LibraryErrorKind::Failed;  // not the file's fault
    close();
    return status;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  LibraryStatus status = checkOwner();
  if (status.ok()) {
    // Settings of the file and the connection, written only once we know the file is ours.
    rc = runScript("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON;");
    if (rc != SQLITE_OK) status = failure(rc, "cannot set it up");
  }
  if (status.ok()) status = migrate();
  for (size_t k = 0; status.ok() && k < kSqlCount; ++k) {
    rc = sqlite3_prepare_v3(db_, kStatements[k], -1, SQLITE_PREPARE_PERSISTENT, &statements_[k], nullptr);
    if (rc != SQLITE_OK) status = failure(rc, "cannot prepare its queries");
  }
  if (!status.ok()) close();
  return status;
}

std::string setAsideNameFor(const std::string& path) {
  return setAsideName(path, static_cast<int64_t>(std::time(nullptr)));
}

LibraryStatus SqliteBackend::setAside(std::string& whereNow) {
  close();
  namespace fs = std::filesystem;
  whereNow = setAsideNameFor(path_);
  std::error_code error;
  fs::rename(path_, whereNow, error);
  if (error)
    return LibraryStatus::failure(LibraryErrorKind::Failed,
                                  "the library " + path_ + " could not be moved aside: " + error.message());
  // The journal goes with the file it belongs to; the shared-memory index is rebuilt from it anyway.
  if (fs::exists(path_ + "-wal", error)) fs::rename(path_ + "-wal", whereNow + "-wal", error);
  fs::remove(path_ + "-shm", error);
  return LibraryStatus::success();
}

LibraryStatus SqliteBackend::writeTransaction(const std::function<LibraryStatus()>& work) {
  if (db_ == nullptr) return notOpen();
  if (inTransaction_) return work();  // already inside: part of the outer transaction
  for (int attempt = 1;; ++attempt) {
    if (LibraryStatus s = beginImmediate(); !s.ok()) return s;
    inTransaction_ = true;
    LibraryStatus status = work();
    if (status.ok()) {
      const int rc = runScript("COMMIT");
      if (rc == SQLITE_OK) {
        inTransaction_ = false;
        keyIds_.merge(pendingKeyIds_);
        pendingKeyIds_.clear();
        for (auto& [key, format] : pendingKeyFormats_) keyFormats_[key] = format;
        pendingKeyFormats_.clear();
        return status;
      }
      status = failure(rc, "cannot write");
    }
    runScript("ROLLBACK");
    inTransaction_ = false;
    pendingKeyIds_.clear();
    pendingKeyFormats_.clear();
    if (status.kind != LibraryErrorKind::Busy || attempt >= kWriteAttempts) return status;
  }
}

LibraryStatus SqliteBackend::lookUpKeyId(std::string_view key, std::optional<int64_t>& id) {
  id.reset();
  const std::string name(key);
  if (auto it = keyIds_.find(name); it != keyIds_.end()) return id = it->second, LibraryStatus::success();
  if (auto it = pendingKeyIds_.find(name); it != pendingKeyIds_.end()) return id = it->second, LibraryStatus::success();
  Use use(statement(kKeyId));
  const int rc = use.bind(1, key).step();
  if (rc == SQLITE_ROW) {
    id = use.integer(0);
    (inTransaction_ ? pendingKeyIds_ : keyIds_)[name] = *id;
  } else if (rc != SQLITE_DONE) {
    return failure(rc, "cannot read a metric key");
  }
  return LibraryStatus::success();
}

LibraryStatus SqliteBackend::keyId(const StoredMetric& metric, int64_t& id) {
  std::optional<int64_t> known;
  if (LibraryStatus s = lookUpKeyId(metric.key, known); !s.ok()) return s;
  // A key not yet known, or one whose format this program writes differently: the program's format holds.
  const MetricFormat* written = nullptr;
  if (auto pending = pendingKeyFormats_.find(metric.key); pending != pendingKeyFormats_.end()) {
    written = &pending->second;
  } else if (auto committed = keyFormats_.find(metric.key); committed != keyFormats_.end()) {
    written = &committed->second;
  }
  if (!known || written == nullptr || *written != metric.format) {
    {
      Use use(statement(kInsertKey));
      const int rc = use.bind(1, std::string_view(metric.key)).bind(2, static_cast<int64_t>(metric.format)).step();
      if (rc != SQLITE_DONE) return failure(rc, "cannot add a metric key");
    }
    if (LibraryStatus s = lookUpKeyId(metric.key, known); !s.ok()) return s;
    if (!known) return failure(SQLITE_INTERNAL, "cannot add a metric key");
    (inTransaction_ ? pendingKeyFormats_ : keyFormats_)[metric.key] = metric.format;
  }
  id = *known;
  return LibraryStatus::success();
}

LibraryStatus SqliteBackend::upsertTest(const LibraryTest& test, int64_t& testId) {
  if (db_ == nullptr) return notOpen();
  if (!inTransaction_) return needsTransaction();
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  int rc;
  {
    Use use(statement(kUpsertSubject));
    rc = use.bind(1, std::string_view(test.subjectKey))
             .bind(2, std::string_view(test.subject.name))
             .bind(3, test.testTime)
             .step();
    if (rc != SQLITE_DONE) return failure(rc, "cannot write the subject");
  }
  int64_t subjectId = 0;
  {
    Use use(statement(kSubjectId));
    rc = use.bind(1, std::string_view(test.subjectKey)).step();
    if (rc != SQLITE_ROW) return failure(rc == SQLITE_DONE ? SQLITE_INTERNAL : rc, "cannot write the subject");
    subjectId = use.integer(0);
  }
  std::optional<int64_t> existing;
  int64_t previousSubject = 0;
  {
    Use use(statement(kTestIdAndSubject));
    rc = use.bind(1, std::string_view(test.path)).step();
    if (rc == SQLITE_ROW) {
      existing = use.integer(0);
      previousSubject = use.integer(1);
    } else if (rc != SQLITE_DONE) {
      return failure(rc, "cannot read the test");
    }
  }
  {
    Use use(statement(existing ? kUpdateTest : kInsertTest));
    use.bind(1, std::string_view(test.path))
        .bind(2, subjectId)
        .bind(3, test.stamp.size)
        .bind(4, test.stamp.modifiedNs)
        .bind(5, std::string_view(test.contentHash))
        .bind(6, static_cast<int64_t>(test.kind == TestKind::Power ? 1 : 0))
        .bind(7, test.testTime)
        .bind(8, static_cast<int64_t>(test.sampleCount))
        .bind(9, static_cast<double>(test.bodyWeight))
        .bind(10, std::string_view(test.subject.name))
        .bind(11, static_cast<int64_t>(test.subject.sex))
        .bind(12, static_cast<int64_t>(test.subject.height))
        .bind(13, static_cast<int64_t>(test.subject.weight))
        .bind(14, std::string_view(test.subject.comment1))
        .bind(15, std::string_view(test.subject.comment2))
        .bind(16, std::string_view(test.subject.comment3))
        .bind(17, now);
    if (existing) use.bind(18, *existing);
    rc = use.step();
    if (rc != SQLITE_DONE) return failure(rc, "cannot write the test");
  }
  testId = existing ? *existing : sqlite3_last_insert_rowid(db_);
  if (existing) {
    Use use(statement(kDeleteMetrics));
    rc = use.bind(1, testId).step();
    if (rc != SQLITE_DONE) return failure(rc, "cannot write the metrics");
    if (previousSubject != subjectId) {
      Use drop(statement(kDropSubjectIfUnused));
      rc = drop.bind(1, previousSubject).step();
      if (rc != SQLITE_DONE) return failure(rc, "cannot write the subject");
    }
  }
  int64_t position = 0;
  for (const StoredMetric& metric : test.metrics) {
    int64_t key = 0;
    if (LibraryStatus s = keyId(metric, key); !s.ok()) return s;
    Use use(statement(kInsertMetric));
    use.bind(1, testId).bind(2, key).bind(3, position++).bind(4, metric.value);
    if (metric.text)
      use.bind(5, std::string_view(*metric.text));
    else
      use.bindNull(5);
    rc = use.step();
    if (rc != SQLITE_DONE) return failure(rc, "cannot write the metric " + metric.key);
  }
  return LibraryStatus::success();
}

LibraryStatus SqliteBackend::updateStamp(int64_t testId, const FileStamp& stamp) {
  if (db_ == nullptr) return notOpen();
  if (!inTransaction_) return needsTransaction();
  Use use(statement(kUpdateStamp));
  const int rc = use.bind(1, testId)
                     .bind(2, stamp.size)
                     .bind(3, stamp.modifiedNs)
                     .bind(4, static_cast<int64_t>(std::time(nullptr)))
                     .step();
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot write the test");
}

LibraryStatus SqliteBackend::setMissing(int64_t testId, bool missing) {
  if (db_ == nullptr) return notOpen();
  if (!inTransaction_) return needsTransaction();
  Use use(statement(kSetMissing));
  const int rc = use.bind(1, testId).bind(2, static_cast<int64_t>(missing ? 1 : 0)).step();
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot write the test");
}

LibraryStatus SqliteBackend::fileStatesUnder(const std::string& folder, std::vector<LibraryFileState>& states) {
  states.clear();
  if (db_ == nullptr) return notOpen();
  std::string low = folder;
  if (low.empty() || low.back() != '/') low.push_back('/');
  std::string high = low;
  high.back() = '0';  // the character after '/'
  Use use(statement(kFileStatesUnder));
  use.bind(1, std::string_view(low)).bind(2, std::string_view(high));
  int rc;
  while ((rc = use.step()) == SQLITE_ROW) {
    LibraryFileState& state = states.emplace_back();
    state.testId = use.integer(0);
    state.path = use.text(1);
    state.stamp = {use.integer(2), use.integer(3)};
    state.contentHash = use.text(4);
    state.missing = use.integer(5) != 0;
  }
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the tests");
}

LibraryStatus SqliteBackend::testByPath(const std::string& path, std::optional<LibraryTestEntry>& test) {
  test.reset();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kTestByPath));
  const int rc = use.bind(1, std::string_view(path)).step();
  if (rc == SQLITE_ROW) readEntry(use, test.emplace());
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the test");
}

LibraryStatus SqliteBackend::testsByHash(const std::string& contentHash, std::vector<LibraryTestEntry>& tests) {
  tests.clear();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kTestsByHash));
  use.bind(1, std::string_view(contentHash));
  int rc;
  while ((rc = use.step()) == SQLITE_ROW) readEntry(use, tests.emplace_back());
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the tests");
}

LibraryStatus SqliteBackend::listSubjects(const LibrarySubjectQuery& query, std::vector<LibrarySubject>& subjects) {
  subjects.clear();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kListSubjects));
  use.bind(1, std::string_view(query.search)).bind(2, query.limit).bind(3, query.offset);
  int rc;
  while ((rc = use.step()) == SQLITE_ROW) readSubject(use, subjects.emplace_back());
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the subjects");
}

LibraryStatus SqliteBackend::subjectByKey(const std::string& key, std::optional<LibrarySubject>& subject) {
  subject.reset();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kSubjectByKey));
  const int rc = use.bind(1, std::string_view(key)).step();
  if (rc == SQLITE_ROW) readSubject(use, subject.emplace());
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the subject");
}

LibraryStatus SqliteBackend::listTests(const LibraryTestQuery& query, std::vector<LibraryTestEntry>& tests) {
  tests.clear();
  if (db_ == nullptr) return notOpen();
  std::vector<std::optional<int64_t>> keys;
  for (const std::string& key : query.metricKeys) {
    std::optional<int64_t> id;
    if (LibraryStatus s = lookUpKeyId(key, id); !s.ok()) return s;
    keys.push_back(id);
  }
  const Sql which = query.subjectKey ? (query.newestFirst ? kTestsOfSubjectNewestFirst : kTestsOfSubjectOldestFirst)
                                     : (query.newestFirst ? kTestsNewestFirst : kTestsOldestFirst);
  {
    Use use(statement(which));
    if (query.subjectKey)
      use.bind(1, std::string_view(*query.subjectKey));
    else
      use.bindNull(1);
    if (query.kind)
      use.bind(2, static_cast<int64_t>(*query.kind == TestKind::Power ? 1 : 0));
    else
      use.bindNull(2);
    use.bind(3, query.since).bind(4, static_cast<int64_t>(query.includeMissing ? 1 : 0));
    use.bind(5, query.limit).bind(6, query.offset);
    int rc;
    while ((rc = use.step()) == SQLITE_ROW) readEntry(use, tests.emplace_back());
    if (rc != SQLITE_DONE) return failure(rc, "cannot read the tests");
  }
  if (keys.empty()) return LibraryStatus::success();
  for (LibraryTestEntry& entry : tests) {
    entry.metrics.assign(keys.size(), std::nullopt);
    for (size_t k = 0; k < keys.size(); ++k) {
      if (!keys[k]) continue;
      Use use(statement(kMetricValue));
      const int rc = use.bind(1, entry.id).bind(2, *keys[k]).step();
      if (rc == SQLITE_ROW && !use.isNull(0))
        entry.metrics[k] = use.real(0);
      else if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return failure(rc, "cannot read the metrics");
    }
  }
  return LibraryStatus::success();
}

LibraryStatus SqliteBackend::testMetrics(int64_t testId, std::vector<StoredMetric>& metrics) {
  metrics.clear();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kTestMetrics));
  use.bind(1, testId);
  int rc;
  while ((rc = use.step()) == SQLITE_ROW) {
    StoredMetric& metric = metrics.emplace_back();
    metric.key = use.text(0);
    metric.format = formatFromStored(use.integer(1));
    if (!use.isNull(2)) metric.value = use.real(2);
    if (!use.isNull(3)) metric.text = use.text(3);
  }
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the metrics");
}

LibraryStatus SqliteBackend::trend(const LibraryTrendQuery& query, std::vector<LibraryTrendPoint>& points) {
  points.clear();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kTrend));
  use.bind(1, std::string_view(query.subjectKey)).bind(2, std::string_view(query.metricKey));
  int rc;
  while ((rc = use.step()) == SQLITE_ROW) points.push_back({use.integer(0), use.integer(1), use.real(2), use.text(3)});
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the trend");
}

LibraryStatus SqliteBackend::metricKeys(std::vector<LibraryMetricKey>& keys) {
  keys.clear();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kMetricKeys));
  int rc;
  while ((rc = use.step()) == SQLITE_ROW) keys.push_back({use.text(0), formatFromStored(use.integer(1))});
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the metric keys");
}

LibraryStatus SqliteBackend::enqueue(const OutboxItem& item, int64_t& id) {
  return writeTransaction([&]() -> LibraryStatus {
    std::optional<int64_t> waiting;
    {
      Use use(statement(kOutboxFind));
      const int rc = use.bind(1, std::string_view(item.server)).bind(2, std::string_view(item.path)).step();
      if (rc == SQLITE_ROW) {
        if (use.text(1) == item.contentHash) {
          id = use.integer(0);  // the same bytes wait already: they keep their place
          return LibraryStatus::success();
        }
        waiting = use.integer(0);
      } else if (rc != SQLITE_DONE) {
        return failure(rc, "cannot read the outbox");
      }
    }
    if (waiting) {
      Use use(statement(kOutboxDelete));
      const int rc = use.bind(1, *waiting).step();
      if (rc != SQLITE_DONE) return failure(rc, "cannot write the outbox");
    }
    Use use(statement(kOutboxInsert));
    use.bind(1, std::string_view(item.server)).bind(2, std::string_view(item.path));
    if (item.kind)
      use.bind(3, static_cast<int64_t>(*item.kind == TestKind::Power ? 1 : 0));
    else
      use.bindNull(3);
    use.bind(4, item.stamp.size)
        .bind(5, item.stamp.modifiedNs)
        .bind(6, std::string_view(item.contentHash))
        .bindBlob(7, item.bytes)
        .bind(8, item.queuedAt);
    const int rc = use.step();
    if (rc != SQLITE_DONE) return failure(rc, "cannot write the outbox");
    id = sqlite3_last_insert_rowid(db_);
    return LibraryStatus::success();
  });
}

LibraryStatus SqliteBackend::outboxCount(const std::string& server, int64_t& count) {
  count = 0;
  if (db_ == nullptr) return notOpen();
  Use use(statement(kOutboxCount));
  const int rc = use.bind(1, std::string_view(server)).step();
  if (rc != SQLITE_ROW) return failure(rc, "cannot read the outbox");
  count = use.integer(0);
  return LibraryStatus::success();
}

LibraryStatus SqliteBackend::nextInOutbox(const std::string& server, int64_t afterId, std::optional<OutboxItem>& item) {
  item.reset();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kOutboxNext));
  const int rc = use.bind(1, std::string_view(server)).bind(2, afterId).step();
  if (rc == SQLITE_DONE) return LibraryStatus::success();
  if (rc != SQLITE_ROW) return failure(rc, "cannot read the outbox");
  OutboxItem& next = item.emplace();
  next.id = use.integer(0);
  next.server = use.text(1);
  next.path = use.text(2);
  if (!use.isNull(3)) next.kind = use.integer(3) == 1 ? TestKind::Power : TestKind::Force;
  next.stamp = {use.integer(4), use.integer(5)};
  next.contentHash = use.text(6);
  next.bytes = use.blob(7);
  next.queuedAt = use.integer(8);
  return LibraryStatus::success();
}

LibraryStatus SqliteBackend::removeFromOutbox(int64_t id) {
  return writeTransaction([&]() -> LibraryStatus {
    Use use(statement(kOutboxDelete));
    const int rc = use.bind(1, id).step();
    return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot write the outbox");
  });
}

LibraryStatus SqliteBackend::outboxServers(std::vector<std::string>& servers) {
  servers.clear();
  if (db_ == nullptr) return notOpen();
  Use use(statement(kOutboxServers));
  int rc;
  while ((rc = use.step()) == SQLITE_ROW) servers.push_back(use.text(0));
  return rc == SQLITE_DONE ? LibraryStatus::success() : failure(rc, "cannot read the outbox");
}

}  // namespace

std::unique_ptr<LibraryBackend> makeSqliteBackend(const std::string& path) {
  return std::make_unique<SqliteBackend>(path);
}

std::unique_ptr<LibraryOutboxStore> makeSqliteOutboxStore(const std::string& path) {
  return std::make_unique<SqliteBackend>(path);
}

LibraryStatus checkSqliteLibrary(const std::string& path, std::string& summary) {
  summary.clear();
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    summary = "The library file " + path + " does not exist yet; the first save or scan makes it.";
    return LibraryStatus::success();
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_EXRESCODE, nullptr);
  LibraryHeader header;
  int64_t tests = -1;
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    rc = readLibraryHeader(db, header);
    if (rc == SQLITE_ROW) rc = SQLITE_OK;
  }
  const int64_t applicationId = header.applicationId, version = header.version, objects = header.objects;
  sqlite3_stmt* s = nullptr;
  const bool ours = rc == SQLITE_OK && applicationId == kSqliteLibraryApplicationId;
  if (ours && version <= kSqliteLibrarySchemaVersion &&
      sqlite3_prepare_v2(db, "SELECT count(*) FROM tests", -1, &s, nullptr) == SQLITE_OK &&
      sqlite3_step(s) == SQLITE_ROW)
    tests = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  const std::string reason = rc == SQLITE_OK ? "" : sqlite3_errstr(rc);
  sqlite3_close_v2(db);
  if (rc != SQLITE_OK)
    return LibraryStatus::failure(errorKind(rc), "the file " + path + " cannot be read as a library (" + reason +
                                                     "); Velkora moves it aside and builds a new library from the "
                                                     "measurement files");
  if (ours && version > kSqliteLibrarySchemaVersion)
    return LibraryStatus::failure(LibraryErrorKind::TooNew, "the library " + path + " has schema version " +
                                                                std::to_string(version) +
                                                                ", newer than this program knows (" +
                                                                std::to_string(kSqliteLibrarySchemaVersion) + ")");
  if (!ours && (applicationId != 0 || objects > 0))
    return LibraryStatus::failure(LibraryErrorKind::Foreign, "the file " + path + " is not a Velkora library");
  summary = tests >= 0 ? "The library file " + path + " holds " + std::to_string(tests) + " tests."
                       : "The library file " + path + " is empty; the first save or scan fills it.";
  return LibraryStatus::success();
}

std::string setAsideName(const std::string& path, int64_t nowSeconds) {
  const std::time_t t = static_cast<std::time_t>(nowSeconds);
  std::tm local{};
  char stamp[32] = "unknown-time";
  if (localtime_r(&t, &local) != nullptr) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path + ".damaged-" + stamp;
  std::string name = base;
  std::error_code error;
  for (int k = 2; std::filesystem::exists(name, error) || std::filesystem::exists(name + "-wal", error); ++k)
    name = base + "-" + std::to_string(k);
  return name;
}

}  // namespace velkora
