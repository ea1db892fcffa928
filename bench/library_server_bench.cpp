// The team library on a PostgreSQL server at its size: 1,000,000 tests over 20,000 subjects (50 each over
// two years, stored in the order they were recorded, so one subject's tests lie far apart; eight metrics
// each: the key metrics of the lists and a few more), generated on the server
// itself (the subjects by COPY, the tests and metrics by generate_series), kept in the database
// velkora_bench for the next run. Measured through the library's own calls: one subject's history with
// its key metrics, one trend, the subject search per keystroke (the whole list, and the first 100 the
// window shows first), and opening the library with its first subjects.
//
// Needs a server: VELKORA_TEST_POSTGRES as scripts/pg-test-server.sh gives it (scripts/bench.sh starts
// one); without it the program says so and measures nothing.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "library/library_service.h"
#include "library/metric_catalog.h"
#include "library/subject_identity.h"
#include "support/synthetic_library.h"

namespace {

using namespace velkora;

constexpr int kTests = 1000000;
constexpr int kSubjects = 20000;
constexpr char kDatabase[] = "velkora_bench";

class NoMessages final : public MessageSink {
 public:
  void showMessage(std::string_view) override {}
};

std::string serverUri() {
  const char* uri = std::getenv("VELKORA_TEST_POSTGRES");
  return uri != nullptr ? uri : "";
}

std::string withDatabase(const std::string& uri, const std::string& database) {
  const size_t authority = uri.find("://") + 3;
  size_t start = uri.find_first_of("/?", authority);
  if (start == std::string::npos) start = uri.size();
  size_t end = uri.find('?', start);
  if (end == std::string::npos) end = uri.size();
  return uri.substr(0, start) + "/" + database + uri.substr(end);
}

[[noreturn]] void fail(const std::string& what, PGconn* conn) {
  std::fprintf(stderr, "library_server_bench: %s: %s\n", what.c_str(), PQerrorMessage(conn));
  std::exit(1);
}

std::string run(PGconn* conn, const std::string& sql) {
  PGresult* r = PQexec(conn, sql.c_str());
  const ExecStatusType status = PQresultStatus(r);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(sql.substr(0, 60), conn);
  std::string value = status == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
  PQclear(r);
  return value;
}

std::unique_ptr<LibraryService> openLibrary(const std::string& location) {
  static NoMessages messages;
  LibraryStatus status;
  LibraryOptions options{location, {}, false};
  options.machineName = "bench-pc";
  auto library = LibraryService::open(options, messages, status);
  if (!library) {
    std::fprintf(stderr, "library_server_bench: %s\n", status.message.c_str());
    std::exit(1);
  }
  return library;
}

// The eight metrics each test gets: the lists' key metrics of its kind and a few more.
struct BenchKey {
  const char* name;
  MetricFormat format;
  int kind;  // 1 power, 0 force
};
constexpr BenchKey kKeys[] = {
    {"jumpHeightTakeoffVelocity_cm", MetricFormat::Fixed2, 1},
    {"jumpHeightFlightTime_cm", MetricFormat::Fixed2, 1},
    {"rsiModified_m_s", MetricFormat::Fixed3, 1},
    {"peakPropulsivePower_W", MetricFormat::Fixed1, 1},
    {"bodyMass_kg", MetricFormat::Fixed2, 1},
    {"timeToTakeoff_ms", MetricFormat::Integer, 1},
    {"countermovementDepth_cm", MetricFormat::Fixed2, 1},
    {"peakLandingForce_N", MetricFormat::Fixed1, 1},
    {"peakForce_N", MetricFormat::Fixed1, 0},
    {"meanForce_N", MetricFormat::Fixed1, 0},
    {"rfd0to100_N_s", MetricFormat::Fixed0, 0},
    {"timeToPeak_ms", MetricFormat::Integer, 0},
    {"impulse0to100_Ns", MetricFormat::Fixed2, 0},
    {"rep1.peakForce_N", MetricFormat::Fixed1, 0},
    {"rep2.peakForce_N", MetricFormat::Fixed1, 0},
    {"rep3.peakForce_N", MetricFormat::Fixed1, 0},
};

// The library of 1,000,000 tests, made once (about two minutes) and kept for the next run.
const std::string& benchLibrary() {
  static const std::string made = [] {
    const std::string server = serverUri();
    const std::string location = withDatabase(server, kDatabase);
    PGconn* admin = PQconnectdb(server.c_str());
    if (PQstatus(admin) != CONNECTION_OK) fail("connect", admin);
    const bool exists =
        run(admin, std::string("SELECT count(*) FROM pg_database WHERE datname = '") + kDatabase + "'") == "1";
    if (exists) {
      PGconn* conn = PQconnectdb(location.c_str());
      const bool ready = PQstatus(conn) == CONNECTION_OK &&
                         run(conn, "SELECT to_regclass('velkora.tests') IS NOT NULL") == "t" &&
                         run(conn, "SELECT count(*) FROM velkora.tests") == std::to_string(kTests) &&
                         run(conn,
                             "SELECT count(*) FROM pg_attribute WHERE attrelid = 'velkora.subjects'::regclass "
                             "AND attname = 'test_count'") == "1";
      PQfinish(conn);
      if (ready) {
        PQfinish(admin);
        return location;
      }
      run(admin, std::string("DROP DATABASE ") + kDatabase + " WITH (FORCE)");
    }
    run(admin, std::string("CREATE DATABASE ") + kDatabase + " TEMPLATE template1 ENCODING 'UTF8'");
    PQfinish(admin);
    openLibrary(location);  // the schema, as the program makes it

    const auto started = std::chrono::steady_clock::now();
    PGconn* conn = PQconnectdb(location.c_str());
    if (PQstatus(conn) != CONNECTION_OK) fail("connect", conn);
    run(conn, "SET maintenance_work_mem = '256MB'");
    // Subjects by COPY, with the program's own identities.
    PGresult* copy = PQexec(conn, "COPY velkora.subjects (subject_key, name, name_time) FROM STDIN");
    if (PQresultStatus(copy) != PGRES_COPY_IN) fail("copy", conn);
    PQclear(copy);
    std::string rows;
    for (int k = 0; k < kSubjects; ++k) {
      const std::string name = testing::syntheticSubjectName(k);
      rows += subjectKey(name) + "\t" + name + "\t0\n";
    }
    if (PQputCopyData(conn, rows.data(), static_cast<int>(rows.size())) != 1 || PQputCopyEnd(conn, nullptr) != 1)
      fail("copy", conn);
    PGresult* copied = PQgetResult(conn);
    if (PQresultStatus(copied) != PGRES_COMMAND_OK) fail("copy", conn);
    PQclear(copied);
    while (PGresult* r = PQgetResult(conn)) PQclear(r);

    // Tests: 50 per subject, every third a force test, over two years.
    run(conn,
        "INSERT INTO velkora.tests (path, subject_id, file_size, file_mtime_ns, content_hash, kind, test_time, "
        "sample_count, body_weight, subject_name, sex, height, weight, comment1, comment2, comment3, missing, "
        "indexed_at) "
        "SELECT 'bench-pc:/home/coach/Documents/Velkora/DATA/' || s.n || '/' || g || CASE WHEN g % 3 = 0 THEN "
        "'.vkr' ELSE '.tsr' END, s.id, 40000 + g % 1000, 1700000000000000000 + g, md5(g::text) || md5((-g)::text), "
        "CASE WHEN g % 3 = 0 THEN 0 ELSE 1 END, 1650000000 + (g / 20000) * 1300000 + (g % 20000) * 60, 5000, "
        "60 + s.n % 40, s.name, 0, 160 + s.n % 40, 60 + s.n % 40, '', '', '', false, 1700000000 "
        "FROM generate_series(0, 999999) AS g JOIN (SELECT id, name, (row_number() OVER (ORDER BY id) - 1)::int "
        "AS n FROM velkora.subjects) s ON s.n = g % 20000 ORDER BY g");  // in time order, as they are recorded
    // The subjects' counts, as the library's writes keep them.
    run(conn,
        "UPDATE velkora.subjects s SET name_time = a.last, test_count = a.present, missing_count = 0, "
        "last_test_time = a.last FROM (SELECT subject_id, count(*) AS present, max(test_time) AS last FROM "
        "velkora.tests GROUP BY subject_id) a WHERE a.subject_id = s.id");
    // Metrics: the keys, then eight values per test; the constraints of the table are made again after.
    std::string values;
    for (size_t k = 0; k < std::size(kKeys); ++k) {
      run(conn, std::string("INSERT INTO velkora.metric_keys (name, format) VALUES ('") + kKeys[k].name + "', " +
                    std::to_string(static_cast<int>(kKeys[k].format)) + ")");
      values += std::string(values.empty() ? "" : ", ") + "('" + kKeys[k].name + "', " + std::to_string(kKeys[k].kind) +
                ", " + std::to_string(k % 8) + ")";
    }
    run(conn,
        "ALTER TABLE velkora.metrics DROP CONSTRAINT metrics_pkey, DROP CONSTRAINT metrics_test_id_fkey, "
        "DROP CONSTRAINT metrics_key_id_fkey");
    run(conn,
        "INSERT INTO velkora.metrics (test_id, key_id, position, value, text) "
        "SELECT t.id, k.id, b.position, 20 + (t.id % 997) * 0.01 + b.position * 100, NULL "
        "FROM velkora.tests t JOIN (VALUES " +
            values + ") AS b(name, kind, position) ON b.kind = t.kind JOIN velkora.metric_keys k ON k.name = b.name");
    run(conn,
        "ALTER TABLE velkora.metrics ADD CONSTRAINT metrics_pkey PRIMARY KEY (test_id, key_id), "
        "ADD CONSTRAINT metrics_test_id_fkey FOREIGN KEY (test_id) REFERENCES velkora.tests(id) ON DELETE "
        "CASCADE, ADD CONSTRAINT metrics_key_id_fkey FOREIGN KEY (key_id) REFERENCES velkora.metric_keys(id)");
    run(conn, "VACUUM (ANALYZE) velkora.subjects, velkora.tests, velkora.metrics, velkora.metric_keys");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "library_server_bench: made %d tests over %d subjects in %.0f s (%s of tables and indexes)\n",
                 kTests, kSubjects, seconds,
                 run(conn,
                     "SELECT pg_size_pretty(sum(pg_total_relation_size(c.oid))) FROM pg_class c JOIN "
                     "pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = 'velkora' AND c.relkind = 'r'")
                     .c_str());
    PQfinish(conn);
    return location;
  }();
  return made;
}

LibraryService& library() {
  static std::unique_ptr<LibraryService> service = openLibrary(benchLibrary());
  return *service;
}

void BM_ServerOpenLibraryWithFirstSubjects(benchmark::State& state) {
  const std::string& location = benchLibrary();
  for (auto _ : state) {
    auto service = openLibrary(location);
    std::vector<LibrarySubject> subjects;
    if (!service->subjects("", subjects, 100).ok() || subjects.size() != 100) state.SkipWithError("list");
  }
}
BENCHMARK(BM_ServerOpenLibraryWithFirstSubjects)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ServerSubjectSearchPerKeystroke(benchmark::State& state) {
  const char* keystrokes[] = {"a", "an", "ann", "anna", "anna ", "anna m"};
  const std::string search = keystrokes[state.range(0)];
  const int64_t limit = state.range(1);
  LibraryService& service = library();
  size_t found = 0;
  for (auto _ : state) {
    std::vector<LibrarySubject> subjects;
    if (!service.subjects(search, subjects, limit).ok()) state.SkipWithError("search");
    found = subjects.size();
  }
  state.SetLabel("\"" + search + "\": " + std::to_string(found) + " subjects" +
                 (limit < 0 ? "" : " (first " + std::to_string(limit) + ")"));
}
BENCHMARK(BM_ServerSubjectSearchPerKeystroke)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {-1, 100}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ServerOneSubjectsHistory(benchmark::State& state) {
  LibraryService& service = library();
  LibraryTestQuery query;
  query.subjectKey = subjectKey(testing::syntheticSubjectName(12345));
  query.newestFirst = true;
  for (TestKind kind : {TestKind::Power, TestKind::Force})
    for (const KeyMetric& m : keyMetrics(kind)) {
      query.metricKeys.emplace_back(m.key);
      if (!m.perKey.empty()) query.metricKeys.emplace_back(m.perKey);
    }
  for (auto _ : state) {
    std::vector<LibraryTestEntry> tests;
    if (!service.tests(query, tests).ok() || tests.size() != kTests / kSubjects) state.SkipWithError("history");
  }
}
BENCHMARK(BM_ServerOneSubjectsHistory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ServerOneTrend(benchmark::State& state) {
  LibraryService& service = library();
  const std::string name = testing::syntheticSubjectName(12345);
  size_t points = 0;
  for (auto _ : state) {
    std::vector<LibraryTrendPoint> trend;
    if (!service.trend(name, "jumpHeightTakeoffVelocity_cm", trend).ok() || trend.empty()) state.SkipWithError("trend");
    points = trend.size();
  }
  state.SetLabel(std::to_string(points) + " points");
}
BENCHMARK(BM_ServerOneTrend)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (serverUri().empty()) {
    std::printf("library_server_bench: no server (VELKORA_TEST_POSTGRES is not set; scripts/bench.sh starts one)\n");
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchLibrary();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
