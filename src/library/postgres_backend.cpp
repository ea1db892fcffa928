#include "library/postgres_backend.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <random>
#include <set>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "library/library_location.h"
#include "library/server_text.h"

namespace velkora {
namespace {

using std::chrono::steady_clock;

// Waiting for a server that does not answer: per host, unless the location says otherwise.
constexpr int kDefaultConnectTimeoutSeconds = 10;
// A write transaction that meets a serialization failure or a deadlock runs again, this many times in
// all, after a short random pause that grows with each attempt.
constexpr int kWriteAttempts = 30;
// Key of the advisory lock that makes one program at a time bring the schema forward ("VKLB").
constexpr char kMigrationLock[] = "1448823874";
// The schema of the database the library's tables live in.
constexpr char kLibrarySchemaName[] = "velkora";

// Migration k brings a library of version k - 1 to version k, in one transaction with its row in
// velkora.schema_version. The tables are those of the library file; the files' bytes are the server's own.
constexpr std::array<const char*, kPostgresLibrarySchemaVersion> kMigrations = {
    R"sql(
CREATE TABLE velkora.schema_version (
  version integer PRIMARY KEY,
  applied_at timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE velkora.subjects (
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  subject_key text COLLATE "C" NOT NULL UNIQUE,
  name text COLLATE "C" NOT NULL,
  name_time bigint NOT NULL,
  test_count bigint NOT NULL DEFAULT 0,
  missing_count bigint NOT NULL DEFAULT 0,
  last_test_time bigint
);
CREATE TABLE velkora.tests (
  id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  path text COLLATE "C" NOT NULL UNIQUE,
  subject_id bigint NOT NULL REFERENCES velkora.subjects(id),
  file_size bigint NOT NULL,
  file_mtime_ns bigint NOT NULL,
  content_hash text COLLATE "C" NOT NULL,
  kind smallint NOT NULL,
  test_time bigint NOT NULL,
  sample_count integer NOT NULL,
  body_weight real NOT NULL,
  subject_name text COLLATE "C" NOT NULL,
  sex integer NOT NULL,
  height integer NOT NULL,
  weight integer NOT NULL,
  comment1 text COLLATE "C" NOT NULL,
  comment2 text COLLATE "C" NOT NULL,
  comment3 text COLLATE "C" NOT NULL,
  missing boolean NOT NULL DEFAULT false,
  indexed_at bigint NOT NULL
);
CREATE INDEX tests_by_subject ON velkora.tests(subject_id, missing, test_time);
CREATE INDEX tests_by_time ON velkora.tests(test_time);
CREATE INDEX tests_by_hash ON velkora.tests(content_hash);
CREATE TABLE velkora.metric_keys (
  id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  name text COLLATE "C" NOT NULL UNIQUE,
  format smallint NOT NULL
);
CREATE TABLE velkora.metrics (
  test_id bigint NOT NULL REFERENCES velkora.tests(id) ON DELETE CASCADE,
  key_id integer NOT NULL REFERENCES velkora.metric_keys(id),
  position integer NOT NULL,
  value double precision,
  text text COLLATE "C",
  PRIMARY KEY (test_id, key_id)
);
CREATE TABLE velkora.files (
  content_hash text COLLATE "C" PRIMARY KEY,
  bytes bytea NOT NULL,
  CHECK (content_hash = encode(sha256(bytes), 'hex'))
);
)sql",
};

#define VELKORA_TEST_COLUMNS                                                                                       \
  "t.id, t.subject_id, t.path, t.file_size, t.file_mtime_ns, t.content_hash, t.kind, t.test_time, "                \
  "t.sample_count, t.body_weight, t.subject_name, t.sex, t.height, t.weight, t.comment1, t.comment2, t.comment3, " \
  "t.missing, t.indexed_at"

// A subject with its counts, which every write transaction keeps current (see refreshSubjects), so the
// subject list reads the subjects alone however many tests they have.
#define VELKORA_SUBJECT_COLUMNS "s.id, s.name, s.subject_key, s.test_count, s.missing_count, s.last_test_time"

#define VELKORA_TEST_FILTER                                                                         \
  " AND ($2::smallint IS NULL OR t.kind = $2::smallint) AND ($3::bigint IS NULL OR t.test_time >= " \
  "$3::bigint) AND ($4::boolean OR t.missing = false)"

// The fields of a test after its path or id ($1), the same for both.
#define VELKORA_TEST_FIELDS                                                                          \
  "subject_id, file_size, file_mtime_ns, content_hash, kind, test_time, sample_count, body_weight, " \
  "subject_name, sex, height, weight, comment1, comment2, comment3, indexed_at"
#define VELKORA_TEST_VALUES                                                                                    \
  "$2::bigint, $3::bigint, $4::bigint, $5::text, $6::smallint, $7::bigint, $8::integer, $9::real, $10::text, " \
  "$11::integer, $12::integer, $13::integer, $14::text, $15::text, $16::text, $17::bigint"

enum Sql : size_t {
  kUpsertSubject,
  kTestForUpdate,
  kInsertTest,
  kUpdateTest,
  kDeleteMetrics,
  kLockSubject,
  kDropSubjectIfUnused,
  kAllKeys,
  kWriteKey,
  kKeyId,
  kInsertMetrics,
  kHasFile,
  kInsertFile,
  kFileBytes,
  kUpdateStamp,
  kSetMissing,
  kRefreshSubject,
  kFileStatesUnder,
  kTestByPath,
  kTestsByHash,
  kListSubjects,
  kSubjectByKey,
  kTestsOfSubjectOldestFirst,
  kTestsOfSubjectNewestFirst,
  kTestsOldestFirst,
  kTestsNewestFirst,
  kMetricValues,
  kTestMetrics,
  kTrend,
  kMetricKeys,
  kSqlCount
};

constexpr std::array<const char*, kSqlCount> kStatements = {
    // kUpsertSubject: the shown name follows the newest test; the row stays locked until the end of the
    // transaction, so no other writer drops the subject meanwhile.
    "INSERT INTO velkora.subjects AS s (subject_key, name, name_time) VALUES ($1::text, $2::text, $3::bigint) "
    "ON CONFLICT (subject_key) DO UPDATE SET "
    "name = CASE WHEN excluded.name_time >= s.name_time THEN excluded.name ELSE s.name END, "
    "name_time = greatest(excluded.name_time, s.name_time) RETURNING id",
    // kTestForUpdate
    "SELECT id, subject_id FROM velkora.tests WHERE path = $1::text FOR UPDATE",
    // kInsertTest: a writer that added the same path first wins; the caller then updates its entry.
    "INSERT INTO velkora.tests (path, " VELKORA_TEST_FIELDS ", missing) VALUES ($1::text, " VELKORA_TEST_VALUES
    ", false) ON CONFLICT (path) DO NOTHING RETURNING id",
    // kUpdateTest
    "UPDATE velkora.tests SET (" VELKORA_TEST_FIELDS ", missing) = (" VELKORA_TEST_VALUES
    ", false) WHERE id = $1::bigint",
    // kDeleteMetrics
    "DELETE FROM velkora.metrics WHERE test_id = $1::bigint",
    // kLockSubject
    "SELECT 1 FROM velkora.subjects WHERE id = $1::bigint FOR UPDATE",
    // kDropSubjectIfUnused: run after kLockSubject, with a snapshot that sees every committed test
    "DELETE FROM velkora.subjects WHERE id = $1::bigint AND NOT EXISTS "
    "(SELECT 1 FROM velkora.tests WHERE subject_id = $1::bigint)",
    // kAllKeys
    "SELECT id, name, format FROM velkora.metric_keys",
    // kWriteKey
    "INSERT INTO velkora.metric_keys AS k (name, format) VALUES ($1::text, $2::smallint) "
    "ON CONFLICT (name) DO UPDATE SET format = excluded.format WHERE k.format <> excluded.format RETURNING id",
    // kKeyId
    "SELECT id FROM velkora.metric_keys WHERE name = $1::text",
    // kInsertMetrics: every metric of a test in one statement
    "INSERT INTO velkora.metrics (test_id, key_id, position, value, text) SELECT $1::bigint, u.k, u.p, u.v, u.t "
    "FROM unnest($2::integer[], $3::integer[], $4::double precision[], $5::text[]) AS u(k, p, v, t)",
    // kHasFile
    "SELECT 1 FROM velkora.files WHERE content_hash = $1::text",
    // kInsertFile
    "INSERT INTO velkora.files (content_hash, bytes) VALUES ($1::text, $2::bytea) ON CONFLICT (content_hash) "
    "DO NOTHING",
    // kFileBytes
    "SELECT bytes FROM velkora.files WHERE content_hash = $1::text",
    // kUpdateStamp
    "UPDATE velkora.tests SET file_size = $2::bigint, file_mtime_ns = $3::bigint, missing = false, "
    "indexed_at = $4::bigint WHERE id = $1::bigint RETURNING subject_id",
    // kSetMissing
    "UPDATE velkora.tests SET missing = $2::boolean WHERE id = $1::bigint RETURNING subject_id",
    // kRefreshSubject: run after kLockSubject, with a snapshot that sees every committed test
    "UPDATE velkora.subjects s SET test_count = a.present, missing_count = a.missing, last_test_time = a.last "
    "FROM (SELECT count(*) FILTER (WHERE NOT t.missing) AS present, count(*) FILTER (WHERE t.missing) AS missing, "
    "max(t.test_time) FILTER (WHERE NOT t.missing) AS last FROM velkora.tests t WHERE t.subject_id = $1::bigint) a "
    "WHERE s.id = $1::bigint",
    // kFileStatesUnder: the paths from "folder/" up to (not including) "folder0", '0' following '/'
    "SELECT id, path, file_size, file_mtime_ns, content_hash, missing FROM velkora.tests "
    "WHERE path >= $1::text AND path < $2::text",
    // kTestByPath
    "SELECT " VELKORA_TEST_COLUMNS " FROM velkora.tests t WHERE t.path = $1::text",
    // kTestsByHash
    "SELECT " VELKORA_TEST_COLUMNS " FROM velkora.tests t WHERE t.content_hash = $1::text ORDER BY t.test_time, t.id",
    // kListSubjects
    "SELECT " VELKORA_SUBJECT_COLUMNS
    " FROM velkora.subjects s WHERE strpos(s.subject_key, $1::text) > 0 ORDER BY s.subject_key, s.id LIMIT $2::bigint "
    "OFFSET $3::bigint",
    // kSubjectByKey
    "SELECT " VELKORA_SUBJECT_COLUMNS " FROM velkora.subjects s WHERE s.subject_key = $1::text",
    // kTestsOfSubjectOldestFirst
    "SELECT " VELKORA_TEST_COLUMNS
    " FROM velkora.tests t JOIN velkora.subjects s ON s.id = t.subject_id WHERE s.subject_key = "
    "$1::text" VELKORA_TEST_FILTER " ORDER BY t.test_time, t.id LIMIT $5::bigint OFFSET $6::bigint",
    // kTestsOfSubjectNewestFirst
    "SELECT " VELKORA_TEST_COLUMNS
    " FROM velkora.tests t JOIN velkora.subjects s ON s.id = t.subject_id WHERE s.subject_key = "
    "$1::text" VELKORA_TEST_FILTER " ORDER BY t.test_time DESC, t.id DESC LIMIT $5::bigint OFFSET $6::bigint",
    // kTestsOldestFirst ($1 is unused and bound NULL)
    "SELECT " VELKORA_TEST_COLUMNS " FROM velkora.tests t WHERE $1::text IS NULL" VELKORA_TEST_FILTER
    " ORDER BY t.test_time, t.id LIMIT $5::bigint OFFSET $6::bigint",
    // kTestsNewestFirst
    "SELECT " VELKORA_TEST_COLUMNS " FROM velkora.tests t WHERE $1::text IS NULL" VELKORA_TEST_FILTER
    " ORDER BY t.test_time DESC, t.id DESC LIMIT $5::bigint OFFSET $6::bigint",
    // kMetricValues: the values of some keys for some tests, in one round trip
    "SELECT test_id, key_id, value FROM velkora.metrics WHERE test_id = ANY ($1::bigint[]) "
    "AND key_id = ANY ($2::integer[])",
    // kTestMetrics
    "SELECT k.name, k.format, m.value, m.text FROM velkora.metrics m JOIN velkora.metric_keys k ON k.id = m.key_id "
    "WHERE m.test_id = $1::bigint ORDER BY m.position",
    // kTrend
    "SELECT t.id, t.test_time, m.value, t.path FROM velkora.tests t JOIN velkora.subjects s ON s.id = t.subject_id "
    "JOIN velkora.metrics m ON m.test_id = t.id JOIN velkora.metric_keys k ON k.id = m.key_id "
    "WHERE s.subject_key = $1::text AND k.name = $2::text AND t.missing = false AND m.value IS NOT NULL "
    "ORDER BY t.test_time, t.id",
    // kMetricKeys
    "SELECT name, format FROM velkora.metric_keys ORDER BY id",
};

#undef VELKORA_TEST_COLUMNS
#undef VELKORA_SUBJECT_COLUMNS
#undef VELKORA_TEST_FILTER
#undef VELKORA_TEST_FIELDS
#undef VELKORA_TEST_VALUES

// ---- values in and out ----

std::string numberText(int64_t value) { return std::to_string(value); }

// Shortest text that reads back as the same double (PostgreSQL's float8 input is exact).
std::string numberText(double value) {
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

// An array literal's element: quoted, with its quotes and backslashes escaped.
void appendArrayText(std::string& array, std::string_view text) {
  array.push_back('"');
  for (char c : text) {
    if (c == '"' || c == '\\') array.push_back('\\');
    array.push_back(c);
  }
  array.push_back('"');
}

// Parameters of one statement: text format, except bytes (binary); NULL for nothing.
class Params {
 public:
  Params& integer(int64_t value) { return add(numberText(value)); }
  Params& real(double value) { return std::isnan(value) ? null() : add(numberText(value)); }
  Params& boolean(bool value) { return add(value ? "true" : "false"); }
  Params& text(std::string_view value) { return add(toServerText(value)); }
  // Already in PostgreSQL's text form (an array literal).
  Params& literal(std::string value) { return add(std::move(value)); }
  Params& bytes(std::string_view value) {
    values_.push_back(value.data());
    lengths_.push_back(static_cast<int>(value.size()));
    formats_.push_back(1);
    return *this;
  }
  Params& null() {
    values_.push_back(nullptr);
    lengths_.push_back(0);
    formats_.push_back(0);
    return *this;
  }
  template <typename T>
  Params& optionalInteger(const std::optional<T>& value) {
    return value ? integer(static_cast<int64_t>(*value)) : null();
  }

  int count() const { return static_cast<int>(values_.size()); }
  const char* const* values() const { return values_.data(); }
  const int* lengths() const { return lengths_.data(); }
  const int* formats() const { return formats_.data(); }

 private:
  Params& add(std::string value) {
    const std::string& stored = storage_.emplace_back(std::move(value));  // a deque keeps it in place
    values_.push_back(stored.c_str());
    lengths_.push_back(static_cast<int>(stored.size()));
    formats_.push_back(0);
    return *this;
  }
  std::deque<std::string> storage_;
  std::vector<const char*> values_;
  std::vector<int> lengths_;
  std::vector<int> formats_;
};

class Result {
 public:
  explicit Result(PGresult* result) : r_(result) {}
  ~Result() { PQclear(r_); }
  Result(Result&& other) noexcept : r_(std::exchange(other.r_, nullptr)) {}
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  Result& operator=(Result&&) = delete;

  const PGresult* get() const { return r_; }
  bool ok() const {
    const ExecStatusType s = PQresultStatus(r_);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
  }
  int rows() const { return PQntuples(r_); }
  bool isNull(int row, int column) const { return PQgetisnull(r_, row, column) != 0; }
  std::string_view raw(int row, int column) const {
    return {PQgetvalue(r_, row, column), static_cast<size_t>(PQgetlength(r_, row, column))};
  }
  int64_t integer(int row, int column) const {
    int64_t value = 0;
    const std::string_view t = raw(row, column);
    std::from_chars(t.data(), t.data() + t.size(), value);
    return value;
  }
  template <typename T>
  T real(int row, int column) const {
    T value = 0;
    const std::string_view t = raw(row, column);
    std::from_chars(t.data(), t.data() + t.size(), value);
    return value;
  }
  bool boolean(int row, int column) const { return raw(row, column) == "t"; }
  std::string text(int row, int column) const { return fromServerText(raw(row, column)); }

 private:
  PGresult* r_;
};

// The SQLSTATE of a failed result ("" when the connection broke before the server said anything).
std::string sqlState(const PGresult* result) {
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state != nullptr ? state : "";
}

std::string cleanConnectionMessage(std::string_view message);

std::string primaryMessage(const PGresult* result, PGconn* conn) {
  const char* text = result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  if (text != nullptr) return text;
  return cleanConnectionMessage(conn != nullptr ? PQerrorMessage(conn) : "no connection");
}

// libpq's connection message as one line: without the LOCATION lines of verbose messages and without
// the severity and SQLSTATE before the server's text.
std::string cleanConnectionMessage(std::string_view message) {
  std::string out;
  size_t start = 0;
  while (start < message.size()) {
    size_t end = message.find('\n', start);
    if (end == std::string_view::npos) end = message.size();
    std::string line(message.substr(start, end - start));
    start = end + 1;
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    line.erase(0, first);
    if (line.rfind("LOCATION:", 0) == 0) continue;
    for (const char* severity : {"FATAL:  ", "ERROR:  "}) {
      const size_t at = line.find(severity);
      if (at == std::string::npos) continue;
      const size_t code = at + std::strlen(severity);
      if (line.size() > code + 7 && line[code + 5] == ':' && line[code + 6] == ' ')
        line.erase(at, code + 7 - at);
      else
        line.erase(at, code - at);
    }
    if (!out.empty()) out += ' ';
    out += line;
  }
  return out;
}

// The SQLSTATE in a verbose connection message ("FATAL:  28P01: ..."), or "".
std::string connectionSqlState(std::string_view message) {
  for (const char* severity : {"FATAL:  ", "ERROR:  "}) {
    const size_t at = message.find(severity);
    if (at == std::string_view::npos) continue;
    const std::string_view rest = message.substr(at + std::strlen(severity));
    if (rest.size() >= 7 && rest[5] == ':' && rest[6] == ' ') return std::string(rest.substr(0, 5));
  }
  return {};
}

// Replaces the password wherever a message might repeat it.
std::string withoutSecret(std::string message, const std::string& secret) {
  if (secret.size() < 4) return message;
  for (size_t at; (at = message.find(secret)) != std::string::npos;) message.replace(at, secret.size(), "********");
  return message;
}

struct ConnectionSettings {
  std::string password;  // as the location gives it (to keep it out of messages)
  int timeoutSeconds = kDefaultConnectTimeoutSeconds;
  int hosts = 1;
};

bool readSettings(const std::string& location, ConnectionSettings& settings, std::string& error) {
  char* parseError = nullptr;
  PQconninfoOption* options = PQconninfoParse(location.c_str(), &parseError);
  if (options == nullptr) {
    error = parseError != nullptr ? parseError : "out of memory";
    PQfreemem(parseError);
    while (!error.empty() && error.back() == '\n') error.pop_back();
    return false;
  }
  for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (o->val == nullptr) continue;
    const std::string_view keyword = o->keyword;
    if (keyword == "password") settings.password = o->val;
    if (keyword == "connect_timeout") {
      int seconds = 0;
      const std::string_view v = o->val;
      if (std::from_chars(v.data(), v.data() + v.size(), seconds).ec == std::errc() && seconds > 0)
        settings.timeoutSeconds = std::max(seconds, 2);
    }
    if (keyword == "host" || keyword == "hostaddr") {
      int hosts = 1;
      for (const char* c = o->val; *c != '\0'; ++c) hosts += *c == ',' ? 1 : 0;
      settings.hosts = std::max(settings.hosts, hosts);
    }
  }
  PQconninfoFree(options);
  return true;
}

// Opens a connection and says in plain words what failed: the server not reached, the user or password
// not accepted, the encrypted connection not made, or something else the server said. Null on failure.
PGconn* connectTo(const std::string& location, const std::string& described, LibraryStatus& status) {
  ConnectionSettings settings;
  std::string parseError;
  if (!readSettings(location, settings, parseError)) {
    status = LibraryStatus::failure(LibraryErrorKind::Failed,
                                    "the library address " + described +
                                        " is not a valid connection: " + withoutSecret(parseError, settings.password));
    return nullptr;
  }
  const std::string timeout = std::to_string(kDefaultConnectTimeoutSeconds);
  // The location's own settings override the defaults before it; the encoding after it is the program's.
  const char* keywords[] = {"connect_timeout", "fallback_application_name", "dbname", "client_encoding", nullptr};
  const char* values[] = {timeout.c_str(), "velkora", location.c_str(), "UTF8", nullptr};
  PGconn* conn = PQconnectStartParams(keywords, values, 1);
  if (conn == nullptr) {
    status = LibraryStatus::failure(LibraryErrorKind::Failed, "out of memory connecting to " + described);
    return nullptr;
  }
  // Connection errors then carry the server's SQLSTATE, which no translation changes.
  PQsetErrorVerbosity(conn, PQERRORS_VERBOSE);
  const auto deadline = steady_clock::now() + std::chrono::seconds(settings.timeoutSeconds * settings.hosts);
  ConnStatusType lastState = PQstatus(conn);
  bool timedOut = false;
  PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
  while (PQstatus(conn) != CONNECTION_BAD && polling != PGRES_POLLING_OK) {
    lastState = PQstatus(conn);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd wait{PQsocket(conn), static_cast<short>(polling == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
    if (wait.fd < 0) break;
    if (::poll(&wait, 1, static_cast<int>(left)) < 0 && errno != EINTR) break;
    polling = PQconnectPoll(conn);
    if (polling == PGRES_POLLING_FAILED) break;
  }
  if (!timedOut && PQstatus(conn) == CONNECTION_OK) {
    status = LibraryStatus::success();
    return conn;
  }

  const std::string raw = PQerrorMessage(conn);
  const std::string state = connectionSqlState(raw);
  std::string detail = withoutSecret(cleanConnectionMessage(raw), settings.password);
  if (timedOut) detail = "no answer within " + std::to_string(settings.timeoutSeconds * settings.hosts) + " s";
  LibraryErrorKind kind = LibraryErrorKind::Unreachable;
  std::string message;
  if (!timedOut && (PQconnectionNeedsPassword(conn) != 0 || state.rfind("28", 0) == 0)) {
    kind = LibraryErrorKind::Authentication;
    message = PQconnectionNeedsPassword(conn) != 0
                  ? "the library server " + described +
                        " asks for a password and none was found. Velkora stores no passwords: give it in "
                        "~/.pgpass, a service file or PGPASSWORD (" +
                        detail + ")"
                  : "the library server " + described + " did not accept the user or the password (" + detail + ")";
  } else if (!state.empty() && state.rfind("08", 0) != 0 && state != "57P03" && state != "53300") {
    kind = LibraryErrorKind::Failed;
    message = "the library server " + described + " refused the connection: " + detail;
  } else if (!timedOut && (lastState == CONNECTION_SSL_STARTUP || raw.find("SSL") != std::string::npos)) {
    kind = LibraryErrorKind::Tls;
    message = "the encrypted connection (TLS) to the library server " + described +
              " could not be made, as its sslmode asks: " + detail;
  } else if (state.empty() && (raw.find("definition of service") != std::string::npos ||
                               raw.find("service file") != std::string::npos)) {
    kind = LibraryErrorKind::Failed;
    message = "the library address " + described + " cannot be used: " + detail;
  } else {
    message = "the library server " + described + " cannot be reached: " + detail;
  }
  PQfinish(conn);
  status = LibraryStatus::failure(kind, message);
  return nullptr;
}

// What the database holds before anything is written: no library, ours (at a version), or tables of
// something else in the schema "velkora".
struct SchemaState {
  bool schemaExists = false;
  bool foreign = false;
  int32_t version = 0;
};

LibraryErrorKind errorKindOf(const std::string& state, PGconn* conn) {
  if (conn == nullptr || PQstatus(conn) != CONNECTION_OK) return LibraryErrorKind::Unreachable;
  if (state == "40001" || state == "40P01") return LibraryErrorKind::Busy;
  if (state == "42501") return LibraryErrorKind::Refused;
  if (state.rfind("08", 0) == 0 || state.rfind("57P", 0) == 0 || state == "53300") return LibraryErrorKind::Unreachable;
  return LibraryErrorKind::Failed;
}

MetricFormat formatFromStored(int64_t value) {
  if (value < static_cast<int64_t>(MetricFormat::Integer) || value > static_cast<int64_t>(MetricFormat::Text))
    return MetricFormat::Fixed2;
  return static_cast<MetricFormat>(value);
}

void readEntry(const Result& r, int row, LibraryTestEntry& entry) {
  entry.id = r.integer(row, 0);
  entry.subjectId = r.integer(row, 1);
  entry.path = r.text(row, 2);
  entry.stamp = {r.integer(row, 3), r.integer(row, 4)};
  entry.contentHash = std::string(r.raw(row, 5));
  entry.kind = r.integer(row, 6) == 1 ? TestKind::Power : TestKind::Force;
  entry.testTime = r.integer(row, 7);
  entry.sampleCount = static_cast<int32_t>(r.integer(row, 8));
  entry.bodyWeight = r.real<float>(row, 9);
  entry.subject.name = r.text(row, 10);
  entry.subject.sex = static_cast<int32_t>(r.integer(row, 11));
  entry.subject.height = static_cast<int32_t>(r.integer(row, 12));
  entry.subject.weight = static_cast<int32_t>(r.integer(row, 13));
  entry.subject.comment1 = r.text(row, 14);
  entry.subject.comment2 = r.text(row, 15);
  entry.subject.comment3 = r.text(row, 16);
  entry.missing = r.boolean(row, 17);
  entry.indexedAt = r.integer(row, 18);
}

void readSubject(const Result& r, int row, LibrarySubject& subject) {
  subject.id = r.integer(row, 0);
  subject.name = r.text(row, 1);
  subject.key = r.text(row, 2);
  subject.testCount = r.integer(row, 3);
  subject.missingCount = r.integer(row, 4);
  if (!r.isNull(row, 5)) subject.lastTestTime = r.integer(row, 5);
}

class PostgresBackend final : public LibraryBackend {
 public:
  explicit PostgresBackend(std::string location)
      : location_(std::move(location)), described_(withoutPassword(location_)) {}
  ~PostgresBackend() override { close(); }

  std::string describe() const override { return described_; }
  bool isServer() const override { return true; }
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
  LibraryStatus fileBytes(const std::string& contentHash, std::optional<std::string>& bytes) override;

 private:
  struct KnownKey {
    int64_t id;
    MetricFormat format;
  };

  void close();
  Result run(Sql which, const Params& params, int resultFormat = 0);
  Result exec(const char* sql);
  Result execParams(const char* sql, const Params& params);
  LibraryStatus failure(const Result& result, std::string_view doing) const;
  // A connection that works: the one there is, or a new one when the server dropped it (never inside
  // a transaction, whose work is lost with the connection).
  LibraryStatus ensureConnected();
  // Runs a read; when the connection was lost before it, once more on a new connection.
  template <typename Body>
  LibraryStatus read(Body body);
  LibraryStatus readSchemaState(SchemaState& state);
  LibraryStatus tooNew(int32_t version) const;
  LibraryStatus migrate();
  LibraryStatus notOpen() const;
  LibraryStatus needsTransaction() const;
  LibraryStatus loadKeys();
  LibraryStatus keyId(const StoredMetric& metric, int64_t& id);
  // Brings the counts of the subjects the transaction touched up to date, each under its row lock and
  // with a snapshot taken after it, so that writers of one subject at once never leave it miscounted.
  LibraryStatus refreshSubjects();
  std::optional<int64_t> knownKeyId(const std::string& name) const;

  std::string location_;
  std::string described_;
  bool opened_ = false;  // open() was asked for: a lost connection is made again
  PGconn* conn_ = nullptr;
  bool prepared_ = false;
  int32_t version_ = 0;
  bool inTransaction_ = false;
  std::unordered_map<std::string, KnownKey> keys_;         // as committed
  std::unordered_map<std::string, KnownKey> pendingKeys_;  // written by the transaction under way
  std::set<int64_t> touchedSubjects_;                      // by the transaction under way, in lock order
  std::minstd_rand random_{std::random_device{}()};
};

void PostgresBackend::close() {
  if (conn_ != nullptr) PQfinish(conn_);
  conn_ = nullptr;
  prepared_ = false;
  version_ = 0;
  inTransaction_ = false;
  keys_.clear();
  pendingKeys_.clear();
  touchedSubjects_.clear();
}

Result PostgresBackend::run(Sql which, const Params& params, int resultFormat) {
  const std::string name = "velkora_" + std::to_string(static_cast<int>(which));
  return Result(PQexecPrepared(conn_, name.c_str(), params.count(), params.values(), params.lengths(), params.formats(),
                               resultFormat));
}

Result PostgresBackend::exec(const char* sql) { return Result(PQexec(conn_, sql)); }

Result PostgresBackend::execParams(const char* sql, const Params& params) {
  return Result(
      PQexecParams(conn_, sql, params.count(), nullptr, params.values(), params.lengths(), params.formats(), 0));
}

LibraryStatus PostgresBackend::failure(const Result& result, std::string_view doing) const {
  const std::string state = sqlState(result.get());
  const LibraryErrorKind kind = errorKindOf(state, conn_);
  std::string message =
      "the library " + described_ + " cannot " + std::string(doing) + ": " + primaryMessage(result.get(), conn_);
  if (kind == LibraryErrorKind::Refused && inTransaction_)
    message = "the library " + described_ + " refused to " + std::string(doing) + ": this user may only read it (" +
              primaryMessage(result.get(), conn_) +
              "). Recording and scanning need a user of the role velkora_writer; nothing was written.";
  else if (kind == LibraryErrorKind::Refused)
    message = "the library " + described_ + " refused to " + std::string(doing) + ": " +
              primaryMessage(result.get(), conn_) +
              ". Reading needs a user of the role velkora_reader or velkora_writer.";
  if (kind == LibraryErrorKind::Unreachable)
    message = "the library server " + described_ + " cannot be reached: the connection was lost (" +
              primaryMessage(result.get(), conn_) + ")";
  return LibraryStatus::failure(kind, message);
}

LibraryStatus PostgresBackend::notOpen() const {
  return LibraryStatus::failure(LibraryErrorKind::Failed, "the library " + described_ + " is not open");
}

LibraryStatus PostgresBackend::needsTransaction() const {
  return LibraryStatus::failure(LibraryErrorKind::Failed,
                                "the library " + described_ + " was written outside a transaction");
}

LibraryStatus PostgresBackend::tooNew(int32_t version) const {
  return LibraryStatus::failure(
      LibraryErrorKind::TooNew,
      "the library " + described_ + " has schema version " + std::to_string(version) +
          ", newer than this program knows (" + std::to_string(kPostgresLibrarySchemaVersion) +
          "); it was left unchanged. Use a newer Velkora with it, or choose another library with --library.");
}

LibraryStatus PostgresBackend::ensureConnected() {
  if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK && prepared_) return LibraryStatus::success();
  if (inTransaction_)
    return LibraryStatus::failure(LibraryErrorKind::Unreachable,
                                  "the library server " + described_ + " cannot be reached: the connection was lost");
  if (!opened_) return notOpen();
  return open();
}

template <typename Body>
LibraryStatus PostgresBackend::read(Body body) {
  if (!opened_) return notOpen();
  const bool lostBefore = conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK;
  if (LibraryStatus s = ensureConnected(); !s.ok()) return s;
  LibraryStatus status = body();
  if (!lostBefore && status.kind == LibraryErrorKind::Unreachable && !inTransaction_) {
    // The server went away since the last call (a restart): one new connection, one more try.
    if (ensureConnected().ok()) status = body();
  }
  return status;
}

LibraryStatus PostgresBackend::readSchemaState(SchemaState& state) {
  Params params;
  params.text(kLibrarySchemaName);
  Result r = execParams(
      "SELECT to_regnamespace($1::text) IS NOT NULL, "
      "(SELECT count(*) FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
      "WHERE n.nspname = $1::text AND c.relkind IN ('r', 'p')), "
      "to_regclass('velkora.schema_version') IS NOT NULL",
      params);
  if (!r.ok() || r.rows() != 1) return failure(r, "read its schema");
  state.schemaExists = r.boolean(0, 0);
  const int64_t tables = r.integer(0, 1);
  const bool versioned = r.boolean(0, 2);
  state.version = 0;
  state.foreign = false;
  if (!versioned) {
    state.foreign = tables > 0;
    return LibraryStatus::success();
  }
  Result v = exec("SELECT coalesce(max(version), 0) FROM velkora.schema_version");
  if (!v.ok() || v.rows() != 1) return failure(v, "read its schema version");
  state.version = static_cast<int32_t>(v.integer(0, 0));
  return LibraryStatus::success();
}

LibraryStatus PostgresBackend::open() {
  close();
  opened_ = true;
  LibraryStatus status;
  conn_ = connectTo(location_, described_, status);
  if (conn_ == nullptr) return status;

  if (PQserverVersion(conn_) < 110000) {
    close();
    return LibraryStatus::failure(LibraryErrorKind::Failed,
                                  "the library server " + described_ + " runs a PostgreSQL older than version 11");
  }
  {
    Result r = exec("SELECT current_setting('server_encoding')");
    if (!r.ok() || r.rows() != 1) {
      status = failure(r, "read its settings");
      close();
      return status;
    }
    if (r.raw(0, 0) != "UTF8") {
      status = LibraryStatus::failure(LibraryErrorKind::Failed,
                                      "the database of the library " + described_ + " uses the encoding " +
                                          std::string(r.raw(0, 0)) +
                                          "; a Velkora library needs UTF8 (createdb --encoding=UTF8 ...)");
      close();
      return status;
    }
  }
  // Numbers come back in their shortest exact form.
  if (Result r = exec("SET extra_float_digits = 3"); !r.ok()) {
    status = failure(r, "set up the connection");
    close();
    return status;
  }
  SchemaState state;
  status = readSchemaState(state);
  if (status.ok() && state.version > kPostgresLibrarySchemaVersion) status = tooNew(state.version);
  if (status.ok() && state.foreign)
    status = LibraryStatus::failure(
        LibraryErrorKind::Foreign,
        "the database of " + described_ + " has tables in the schema velkora that are not a Velkora library");
  if (status.ok()) version_ = state.version;
  if (status.ok() && state.version < kPostgresLibrarySchemaVersion) status = migrate();
  for (size_t k = 0; status.ok() && k < kSqlCount; ++k) {
    const std::string name = "velkora_" + std::to_string(k);
    Result r(PQprepare(conn_, name.c_str(), kStatements[k], 0, nullptr));
    if (!r.ok()) status = failure(r, "prepare its queries");
  }
  if (status.ok()) {
    prepared_ = true;
    status = loadKeys();
  }
  if (!status.ok()) close();
  return status;
}

LibraryStatus PostgresBackend::migrate() {
  if (Result r = exec("BEGIN"); !r.ok()) return failure(r, "write");
  LibraryStatus status;
  const auto attempt = [&](Result r, std::string_view doing) {
    if (status.ok() && !r.ok()) status = failure(r, doing);
  };
  // One program at a time; the others find the work done when they get the lock.
  attempt(exec((std::string("SELECT pg_advisory_xact_lock(") + kMigrationLock + ")").c_str()),
          "bring its schema forward");
  SchemaState state;
  if (status.ok()) status = readSchemaState(state);
  if (status.ok() && state.version > kPostgresLibrarySchemaVersion) status = tooNew(state.version);
  if (status.ok() && state.foreign)
    status = LibraryStatus::failure(
        LibraryErrorKind::Foreign,
        "the database of " + described_ + " has tables in the schema velkora that are not a Velkora library");
  if (status.ok() && !state.schemaExists) attempt(exec("CREATE SCHEMA velkora"), "create its schema");
  if (status.ok()) {
    // The tables belong to the schema's owner (the role velkora_writer in a set-up lab) when this user
    // is one of its members, so that every writer may write them.
    Params params;
    params.text(kLibrarySchemaName);
    attempt(execParams("SELECT set_config('role', r.rolname, true) FROM pg_catalog.pg_namespace n "
                       "JOIN pg_catalog.pg_roles r ON r.oid = n.nspowner WHERE n.nspname = $1::text "
                       "AND r.rolname <> current_user AND pg_has_role(current_user, r.oid, 'MEMBER')",
                       params),
            "bring its schema forward");
  }
  for (int32_t next = state.version + 1; status.ok() && next <= kPostgresLibrarySchemaVersion; ++next) {
    attempt(exec(kMigrations[static_cast<size_t>(next - 1)]), "bring its schema to version " + std::to_string(next));
    Params params;
    params.integer(next);
    attempt(execParams("INSERT INTO velkora.schema_version (version) VALUES ($1::integer)", params),
            "record its schema version");
  }
  if (status.ok()) attempt(exec("COMMIT"), "write");
  if (!status.ok()) {
    if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) exec("ROLLBACK");
    if (status.kind == LibraryErrorKind::Refused)
      status.message = "the library " + described_ + " is at schema version " + std::to_string(state.version) +
                       " and this user may not make or change its tables (" + status.message +
                       "). Open it once as a user of the role velkora_writer.";
    return status;
  }
  version_ = kPostgresLibrarySchemaVersion;
  return status;
}

LibraryStatus PostgresBackend::setAside(std::string& whereNow) {
  whereNow.clear();
  return LibraryStatus::failure(LibraryErrorKind::Refused,
                                "a library on a server is never moved aside: " + described_ + " was left as it is");
}

LibraryStatus PostgresBackend::writeTransaction(const std::function<LibraryStatus()>& work) {
  if (!opened_) return notOpen();
  if (inTransaction_) return work();  // already inside: part of the outer transaction
  for (int attempt = 1;; ++attempt) {
    if (LibraryStatus s = ensureConnected(); !s.ok()) return s;
    if (Result r = exec("BEGIN"); !r.ok()) {
      // A connection the server dropped since the last call (a restart) shows only now: nothing was
      // written yet, so a new connection may begin again.
      if (PQstatus(conn_) == CONNECTION_OK) return failure(r, "write");
      if (LibraryStatus s = ensureConnected(); !s.ok()) return s;
      if (Result again = exec("BEGIN"); !again.ok()) return failure(again, "write");
    }
    inTransaction_ = true;
    touchedSubjects_.clear();
    LibraryStatus status = work();
    if (status.ok()) status = refreshSubjects();
    if (status.ok()) {
      Result r = exec("COMMIT");
      if (r.ok()) {
        inTransaction_ = false;
        for (auto& [name, key] : pendingKeys_) keys_[name] = key;
        pendingKeys_.clear();
        return status;
      }
      status = failure(r, "write");
    }
    if (PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE) exec("ROLLBACK");
    inTransaction_ = false;
    pendingKeys_.clear();
    touchedSubjects_.clear();
    if (status.kind != LibraryErrorKind::Busy || attempt >= kWriteAttempts) return status;
    // Another writer won; wait a little, longer each time and never in step with it.
    const int upTo = std::min(200, 2 << std::min(attempt, 7));
    std::this_thread::sleep_for(std::chrono::milliseconds(1 + static_cast<int>(random_() % upTo)));
  }
}

LibraryStatus PostgresBackend::refreshSubjects() {
  for (const int64_t subject : touchedSubjects_) {
    Params id;
    id.integer(subject);
    if (Result r = run(kLockSubject, id); !r.ok()) return failure(r, "write the subject");
    if (Result r = run(kRefreshSubject, id); !r.ok()) return failure(r, "write the subject");
  }
  touchedSubjects_.clear();
  return LibraryStatus::success();
}

std::optional<int64_t> PostgresBackend::knownKeyId(const std::string& name) const {
  if (auto it = pendingKeys_.find(name); it != pendingKeys_.end()) return it->second.id;
  if (auto it = keys_.find(name); it != keys_.end()) return it->second.id;
  return std::nullopt;
}

LibraryStatus PostgresBackend::loadKeys() {
  Result r = run(kAllKeys, Params());
  if (!r.ok()) return failure(r, "read the metric keys");
  auto& into = inTransaction_ ? pendingKeys_ : keys_;
  for (int row = 0; row < r.rows(); ++row)
    into[r.text(row, 1)] = KnownKey{r.integer(row, 0), formatFromStored(r.integer(row, 2))};
  return LibraryStatus::success();
}

LibraryStatus PostgresBackend::keyId(const StoredMetric& metric, int64_t& id) {
  // A key known in the format this program writes needs no write.
  const KnownKey* known = nullptr;
  if (auto it = pendingKeys_.find(metric.key); it != pendingKeys_.end())
    known = &it->second;
  else if (auto committed = keys_.find(metric.key); committed != keys_.end())
    known = &committed->second;
  if (known != nullptr && known->format == metric.format) {
    id = known->id;
    return LibraryStatus::success();
  }
  Params params;
  params.text(metric.key).integer(static_cast<int64_t>(metric.format));
  Result r = run(kWriteKey, params);
  if (!r.ok()) return failure(r, "add a metric key");
  if (r.rows() == 1) {
    id = r.integer(0, 0);
  } else {
    Params name;
    name.text(metric.key);
    Result found = run(kKeyId, name);
    if (!found.ok()) return failure(found, "read a metric key");
    if (found.rows() != 1)
      return LibraryStatus::failure(LibraryErrorKind::Failed, "the library " + described_ + " lost a metric key");
    id = found.integer(0, 0);
  }
  pendingKeys_[metric.key] = KnownKey{id, metric.format};
  return LibraryStatus::success();
}

LibraryStatus PostgresBackend::upsertTest(const LibraryTest& test, int64_t& testId) {
  if (conn_ == nullptr) return notOpen();
  if (!inTransaction_) return needsTransaction();
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  testId = 0;
  int64_t subjectId = 0;
  {
    Params params;
    params.text(test.subjectKey).text(test.subject.name).integer(test.testTime);
    Result r = run(kUpsertSubject, params);
    if (!r.ok() || r.rows() != 1) return failure(r, "write the subject");
    subjectId = r.integer(0, 0);
  }
  touchedSubjects_.insert(subjectId);
  const auto fields = [&](Params& params) {
    params.integer(subjectId)
        .integer(test.stamp.size)
        .integer(test.stamp.modifiedNs)
        .text(test.contentHash)
        .integer(test.kind == TestKind::Power ? 1 : 0)
        .integer(test.testTime)
        .integer(test.sampleCount)
        .real(static_cast<double>(test.bodyWeight))
        .text(test.subject.name)
        .integer(test.subject.sex)
        .integer(test.subject.height)
        .integer(test.subject.weight)
        .text(test.subject.comment1)
        .text(test.subject.comment2)
        .text(test.subject.comment3)
        .integer(now);
  };
  std::optional<int64_t> existing;
  int64_t previousSubject = 0;
  for (int round = 0; round < 2 && !existing; ++round) {
    Params path;
    path.text(test.path);
    Result r = run(kTestForUpdate, path);
    if (!r.ok()) return failure(r, "read the test");
    if (r.rows() == 1) {
      existing = r.integer(0, 0);
      previousSubject = r.integer(0, 1);
      break;
    }
    Params insert;
    insert.text(test.path);
    fields(insert);
    Result added = run(kInsertTest, insert);
    if (!added.ok()) return failure(added, "write the test");
    if (added.rows() == 1) {
      testId = added.integer(0, 0);
      break;
    }
    // Another writer added this path meanwhile: its entry is locked and replaced in the next round.
  }
  if (existing) {
    testId = *existing;
    Params update;
    update.integer(testId);
    fields(update);
    if (Result r = run(kUpdateTest, update); !r.ok()) return failure(r, "write the test");
    Params id;
    id.integer(testId);
    if (Result r = run(kDeleteMetrics, id); !r.ok()) return failure(r, "write the metrics");
    if (previousSubject != subjectId) {
      touchedSubjects_.insert(previousSubject);
      Params previous;
      previous.integer(previousSubject);
      if (Result r = run(kLockSubject, previous); !r.ok()) return failure(r, "write the subject");
      if (Result r = run(kDropSubjectIfUnused, previous); !r.ok()) return failure(r, "write the subject");
    }
  } else if (testId == 0) {
    return LibraryStatus::failure(LibraryErrorKind::Busy, "the library " + described_ + ": the test is being written");
  }
  if (!test.metrics.empty()) {
    std::string keys = "{", positions = "{", values = "{", texts = "{";
    int64_t position = 0;
    for (const StoredMetric& metric : test.metrics) {
      int64_t key = 0;
      if (LibraryStatus s = keyId(metric, key); !s.ok()) return s;
      const char* comma = position == 0 ? "" : ",";
      keys += comma + numberText(key);
      positions += comma + numberText(position++);
      values += comma;
      values += metric.value && !std::isnan(*metric.value) ? numberText(*metric.value) : "NULL";
      texts += comma;
      if (metric.text)
        appendArrayText(texts, toServerText(*metric.text));
      else
        texts += "NULL";
    }
    Params params;
    params.integer(testId).literal(keys + "}").literal(positions + "}").literal(values + "}").literal(texts + "}");
    if (Result r = run(kInsertMetrics, params); !r.ok()) return failure(r, "write the metrics");
  }
  // The file's bytes last: once per content, whatever its name; the server checks them against the hash.
  if (!test.bytes.empty()) {
    Params hash;
    hash.text(test.contentHash);
    Result has = run(kHasFile, hash);
    if (!has.ok()) return failure(has, "read the files");
    if (has.rows() == 0) {
      Params file;
      file.text(test.contentHash).bytes(test.bytes);
      if (Result r = run(kInsertFile, file); !r.ok()) return failure(r, "write the file");
    }
  }
  return LibraryStatus::success();
}

LibraryStatus PostgresBackend::updateStamp(int64_t testId, const FileStamp& stamp) {
  if (conn_ == nullptr) return notOpen();
  if (!inTransaction_) return needsTransaction();
  Params params;
  params.integer(testId)
      .integer(stamp.size)
      .integer(stamp.modifiedNs)
      .integer(static_cast<int64_t>(std::time(nullptr)));
  Result r = run(kUpdateStamp, params);
  if (!r.ok()) return failure(r, "write the test");
  if (r.rows() == 1) touchedSubjects_.insert(r.integer(0, 0));
  return LibraryStatus::success();
}

LibraryStatus PostgresBackend::setMissing(int64_t testId, bool missing) {
  if (conn_ == nullptr) return notOpen();
  if (!inTransaction_) return needsTransaction();
  Params params;
  params.integer(testId).boolean(missing);
  Result r = run(kSetMissing, params);
  if (!r.ok()) return failure(r, "write the test");
  if (r.rows() == 1) touchedSubjects_.insert(r.integer(0, 0));
  return LibraryStatus::success();
}

LibraryStatus PostgresBackend::fileStatesUnder(const std::string& folder, std::vector<LibraryFileState>& states) {
  return read([&]() -> LibraryStatus {
    states.clear();
    std::string low = folder;
    if (low.empty() || low.back() != '/') low.push_back('/');
    std::string high = low;
    high.back() = '0';  // the character after '/'
    Params params;
    params.text(low).text(high);
    Result r = run(kFileStatesUnder, params);
    if (!r.ok()) return failure(r, "read the tests");
    states.reserve(static_cast<size_t>(r.rows()));
    for (int row = 0; row < r.rows(); ++row) {
      LibraryFileState& state = states.emplace_back();
      state.testId = r.integer(row, 0);
      state.path = r.text(row, 1);
      state.stamp = {r.integer(row, 2), r.integer(row, 3)};
      state.contentHash = std::string(r.raw(row, 4));
      state.missing = r.boolean(row, 5);
    }
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::testByPath(const std::string& path, std::optional<LibraryTestEntry>& test) {
  return read([&]() -> LibraryStatus {
    test.reset();
    Params params;
    params.text(path);
    Result r = run(kTestByPath, params);
    if (!r.ok()) return failure(r, "read the test");
    if (r.rows() == 1) readEntry(r, 0, test.emplace());
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::testsByHash(const std::string& contentHash, std::vector<LibraryTestEntry>& tests) {
  return read([&]() -> LibraryStatus {
    tests.clear();
    Params params;
    params.text(contentHash);
    Result r = run(kTestsByHash, params);
    if (!r.ok()) return failure(r, "read the tests");
    for (int row = 0; row < r.rows(); ++row) readEntry(r, row, tests.emplace_back());
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::listSubjects(const LibrarySubjectQuery& query, std::vector<LibrarySubject>& subjects) {
  return read([&]() -> LibraryStatus {
    subjects.clear();
    Params params;
    params.text(query.search);
    if (query.limit < 0)
      params.null();
    else
      params.integer(query.limit);
    params.integer(std::max<int64_t>(0, query.offset));
    Result r = run(kListSubjects, params);
    if (!r.ok()) return failure(r, "read the subjects");
    subjects.reserve(static_cast<size_t>(r.rows()));
    for (int row = 0; row < r.rows(); ++row) readSubject(r, row, subjects.emplace_back());
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::subjectByKey(const std::string& key, std::optional<LibrarySubject>& subject) {
  return read([&]() -> LibraryStatus {
    subject.reset();
    Params params;
    params.text(key);
    Result r = run(kSubjectByKey, params);
    if (!r.ok()) return failure(r, "read the subject");
    if (r.rows() == 1) readSubject(r, 0, subject.emplace());
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::listTests(const LibraryTestQuery& query, std::vector<LibraryTestEntry>& tests) {
  return read([&]() -> LibraryStatus {
    tests.clear();
    const Sql which = query.subjectKey ? (query.newestFirst ? kTestsOfSubjectNewestFirst : kTestsOfSubjectOldestFirst)
                                       : (query.newestFirst ? kTestsNewestFirst : kTestsOldestFirst);
    Params params;
    if (query.subjectKey)
      params.text(*query.subjectKey);
    else
      params.null();
    if (query.kind)
      params.integer(*query.kind == TestKind::Power ? 1 : 0);
    else
      params.null();
    params.optionalInteger(query.since).boolean(query.includeMissing);
    if (query.limit < 0)
      params.null();
    else
      params.integer(query.limit);
    params.integer(std::max<int64_t>(0, query.offset));
    Result r = run(which, params);
    if (!r.ok()) return failure(r, "read the tests");
    tests.reserve(static_cast<size_t>(r.rows()));
    for (int row = 0; row < r.rows(); ++row) readEntry(r, row, tests.emplace_back());
    if (query.metricKeys.empty() || tests.empty()) return LibraryStatus::success();

    // The values asked for, for every test listed, in one query.
    std::vector<std::optional<int64_t>> keys;
    for (const std::string& key : query.metricKeys) keys.push_back(knownKeyId(key));
    if (std::any_of(keys.begin(), keys.end(), [](const auto& k) { return !k; })) {
      if (LibraryStatus s = loadKeys(); !s.ok()) return s;  // keys other programs added since
      for (size_t k = 0; k < keys.size(); ++k) keys[k] = knownKeyId(query.metricKeys[k]);
    }
    std::unordered_map<int64_t, size_t> rowOf;
    std::string ids = "{", keyIds = "{";
    for (size_t t = 0; t < tests.size(); ++t) {
      tests[t].metrics.assign(keys.size(), std::nullopt);
      rowOf[tests[t].id] = t;
      ids += (t == 0 ? "" : ",") + numberText(tests[t].id);
    }
    for (size_t k = 0; k < keys.size(); ++k) {
      if (!keys[k]) continue;
      keyIds += (keyIds.size() == 1 ? "" : ",") + numberText(*keys[k]);
    }
    if (keyIds.size() == 1) return LibraryStatus::success();
    Params values;
    values.literal(ids + "}").literal(keyIds + "}");
    Result m = run(kMetricValues, values);
    if (!m.ok()) return failure(m, "read the metrics");
    for (int row = 0; row < m.rows(); ++row) {
      if (m.isNull(row, 2)) continue;
      const auto test = rowOf.find(m.integer(row, 0));
      if (test == rowOf.end()) continue;
      const int64_t key = m.integer(row, 1);
      for (size_t k = 0; k < keys.size(); ++k)
        if (keys[k] == key) tests[test->second].metrics[k] = m.real<double>(row, 2);
    }
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::testMetrics(int64_t testId, std::vector<StoredMetric>& metrics) {
  return read([&]() -> LibraryStatus {
    metrics.clear();
    Params params;
    params.integer(testId);
    Result r = run(kTestMetrics, params);
    if (!r.ok()) return failure(r, "read the metrics");
    for (int row = 0; row < r.rows(); ++row) {
      StoredMetric& metric = metrics.emplace_back();
      metric.key = r.text(row, 0);
      metric.format = formatFromStored(r.integer(row, 1));
      if (!r.isNull(row, 2)) metric.value = r.real<double>(row, 2);
      if (!r.isNull(row, 3)) metric.text = r.text(row, 3);
    }
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::trend(const LibraryTrendQuery& query, std::vector<LibraryTrendPoint>& points) {
  return read([&]() -> LibraryStatus {
    points.clear();
    Params params;
    params.text(query.subjectKey).text(query.metricKey);
    Result r = run(kTrend, params);
    if (!r.ok()) return failure(r, "read the trend");
    for (int row = 0; row < r.rows(); ++row)
      points.push_back({r.integer(row, 0), r.integer(row, 1), r.real<double>(row, 2), r.text(row, 3)});
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::metricKeys(std::vector<LibraryMetricKey>& keys) {
  return read([&]() -> LibraryStatus {
    keys.clear();
    Result r = run(kMetricKeys, Params());
    if (!r.ok()) return failure(r, "read the metric keys");
    for (int row = 0; row < r.rows(); ++row) keys.push_back({r.text(row, 0), formatFromStored(r.integer(row, 1))});
    return LibraryStatus::success();
  });
}

LibraryStatus PostgresBackend::fileBytes(const std::string& contentHash, std::optional<std::string>& bytes) {
  return read([&]() -> LibraryStatus {
    bytes.reset();
    Params params;
    params.text(contentHash);
    Result r = run(kFileBytes, params, 1);
    if (!r.ok()) return failure(r, "read the file");
    if (r.rows() == 1) bytes = std::string(r.raw(0, 0));
    return LibraryStatus::success();
  });
}

}  // namespace

std::unique_ptr<LibraryBackend> makePostgresBackend(const std::string& location) {
  return std::make_unique<PostgresBackend>(location);
}

LibraryStatus checkPostgresLibrary(const std::string& location, std::string& summary) {
  summary.clear();
  const std::string described = withoutPassword(location);
  LibraryStatus status;
  PGconn* conn = connectTo(location, described, status);
  if (conn == nullptr) return status;
  const auto value = [&](const char* sql, std::string& into) {
    if (!status.ok()) return false;
    PGresult* r = PQexec(conn, sql);
    const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
    if (ok) into = PQgetvalue(r, 0, 0);
    if (!ok)
      status = LibraryStatus::failure(errorKindOf(sqlState(r), conn),
                                      "the library " + described + " cannot be read: " + primaryMessage(r, conn));
    PQclear(r);
    return ok;
  };
  std::string encoding, versioned, version, tests;
  if (value("SELECT current_setting('server_encoding')", encoding) && encoding != "UTF8")
    status = LibraryStatus::failure(LibraryErrorKind::Failed, "the database of " + described + " uses the encoding " +
                                                                  encoding + "; a Velkora library needs UTF8");
  if (status.ok() && value("SELECT to_regclass('velkora.schema_version') IS NOT NULL", versioned)) {
    if (versioned != "t") {
      summary = "Connected to " + described + ". It holds no library yet; the first save or scan makes one.";
    } else if (value("SELECT coalesce(max(version), 0) FROM velkora.schema_version", version)) {
      const int32_t found = std::atoi(version.c_str());
      if (found > kPostgresLibrarySchemaVersion) {
        status =
            LibraryStatus::failure(LibraryErrorKind::TooNew, "the library " + described + " has schema version " +
                                                                 version + ", newer than this program knows (" +
                                                                 std::to_string(kPostgresLibrarySchemaVersion) + ")");
      } else if (value("SELECT count(*) FROM velkora.tests", tests)) {
        summary = "Connected to " + described + ": a Velkora library of " + tests + " tests.";
      }
    }
  }
  PQfinish(conn);
  return status;
}

}  // namespace velkora
