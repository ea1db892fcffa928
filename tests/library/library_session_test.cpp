// A library as the programs use it, with a server behind it: tests saved while the server is out of
// reach wait in the outbox and arrive exactly once, in order, even when the server stops in the middle
// of an upload; eight programs saving at once; a test recorded on another computer fetched into the DATA
// folder without overwriting anything.

#include "library/library_session.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "library/library_location.h"
#include "library/library_outbox.h"
#include "library/sha256.h"
#include "support/measurement_files.h"
#include "support/postgres_server.h"
#include "support/temp_dir.h"

namespace velkora {
namespace {

namespace fs = std::filesystem;
using testing::GeneratedTest;
using testing::readFile;
using testing::sqlOnServer;
using testing::TempDir;
using testing::writeGeneratedTest;

std::unique_ptr<LibrarySession> openSession(const std::string& location, const std::string& outbox,
                                            const std::string& machine, MessageSink& messages,
                                            LibraryStatus* why = nullptr) {
  LibraryOptions options{location, {}, true, outbox, machine};
  LibraryStatus status;
  std::unique_ptr<LibrarySession> session = LibrarySession::open(options, messages, status);
  if (why != nullptr) *why = status;
  return session;
}

// What waits in an outbox, in order: the file names.
std::vector<std::string> waiting(const std::string& outbox) {
  std::unique_ptr<LibraryOutboxStore> box = makeSqliteOutboxStore(outbox);
  EXPECT_TRUE(box->open().ok());
  std::vector<std::string> names;
  std::optional<OutboxItem> item;
  for (int64_t after = 0; box->nextInOutbox("", after, item).ok() && item; after = item->id) {
    names.push_back(fs::path(item->path).filename().string());
    EXPECT_EQ(item->contentHash, contentHash(item->bytes));
  }
  return names;
}

TEST(LibrarySession, WithTheServerOutOfReachSavesWaitInTheOutbox) {
  TempDir dir;
  const std::string data = dir.file("DATA");
  fs::create_directory(data);
  const std::string a = data + "/a.tsr", b = data + "/b.vkr", c = data + "/c.tsr", bad = data + "/bad.vkr";
  ASSERT_TRUE(writeGeneratedTest(a, {"Anna", TestKind::Power}));
  ASSERT_TRUE(writeGeneratedTest(b, {"Bert", TestKind::Force}));
  testing::writeFile(bad, std::string(300, 'x'));
  const std::string outbox = dir.file("library.sqlite");
  // No server listens on that socket; the password in the location is used, never kept.
  const std::string location =
      "postgresql://coach:Pa55-w0rd-kept-nowhere@/velkora?host=" + dir.file("no-server") + "&port=5432";

  CollectingMessageSink messages;
  LibraryStatus status;
  std::unique_ptr<LibrarySession> session = openSession(location, outbox, "plate-1", messages, &status);
  ASSERT_TRUE(session) << status.message;
  EXPECT_EQ(status.kind, LibraryErrorKind::Unreachable);
  EXPECT_FALSE(session->online());
  EXPECT_EQ(session->library(), nullptr);
  EXPECT_EQ(session->statusText(), "Library offline \u2013 0 tests waiting");

  struct Step {
    const char* what;
    std::string path;
    IndexOutcome outcome;
    std::vector<std::string> waiting;
  };
  const Step steps[] = {
      {"a saved", a, IndexOutcome::Queued, {"a.tsr"}},
      {"a saved again unchanged: it keeps its place", a, IndexOutcome::Queued, {"a.tsr"}},
      {"b saved", b, IndexOutcome::Queued, {"a.tsr", "b.vkr"}},
      {"not a measurement file: refused now, not kept", bad, IndexOutcome::Failed, {"a.tsr", "b.vkr"}},
      {"a saved anew: its newest bytes wait, at the end", a, IndexOutcome::Queued, {"b.vkr", "a.tsr"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (std::string(step.what).find("anew") != std::string::npos) {
      ASSERT_TRUE(writeGeneratedTest(a, {"Anna Neu", TestKind::Power, 1714560000}));
    }
    const LibraryIndexResult result = session->indexFile(step.path);
    EXPECT_EQ(result.outcome, step.outcome) << result.reason << result.status.message;
    if (step.outcome == IndexOutcome::Queued) {
      EXPECT_NE(result.reason.find("cannot be reached"), std::string::npos) << result.reason;
    }
    EXPECT_EQ(waiting(outbox), step.waiting);
  }
  EXPECT_EQ(session->outboxCount(), 2);
  EXPECT_EQ(session->statusText(), "Library offline \u2013 2 tests waiting");
  EXPECT_EQ(testing::readFile(outbox).find("Pa55-w0rd"), std::string::npos) << "no password in the outbox";
  {
    std::unique_ptr<LibraryOutboxStore> box = makeSqliteOutboxStore(outbox);
    ASSERT_TRUE(box->open().ok());
    std::optional<OutboxItem> item;
    int64_t after = 0;
    while (box->nextInOutbox(withoutPassword(location), after, item).ok() && item && item->path != a) after = item->id;
    ASSERT_TRUE(item);
    EXPECT_TRUE(item->bytes == readFile(a)) << "the bytes as saved last";
    EXPECT_EQ(item->server, withoutPassword(location));
  }

  // A scan while the server is out of reach: every measurement file waits (c is new).
  ASSERT_TRUE(writeGeneratedTest(c, {"Carl", TestKind::Power}));
  const LibraryScanSummary summary = session->scan(data);
  ASSERT_TRUE(summary.status.ok()) << summary.status.message;
  EXPECT_EQ(summary.queued, 3);
  ASSERT_EQ(summary.failed.size(), 1u);
  EXPECT_EQ(summary.failed[0].path, bad);
  EXPECT_EQ(waiting(outbox), (std::vector<std::string>{"b.vkr", "a.tsr", "c.tsr"}));

  // Sending finds the server still away: nothing is lost.
  const LibrarySendResult sent = session->sendOutbox();
  EXPECT_EQ(sent.sent, 0);
  EXPECT_EQ(sent.waiting, 3);
  EXPECT_EQ(sent.status.kind, LibraryErrorKind::Unreachable);
  EXPECT_TRUE(messages.messages.empty());

  // Without a local library file there is nowhere to wait: said so, never taken for done.
  std::unique_ptr<LibrarySession> nowhere = openSession(location, "", "plate-1", messages);
  ASSERT_TRUE(nowhere);
  const LibraryIndexResult result = nowhere->indexFile(c);
  EXPECT_EQ(result.outcome, IndexOutcome::Failed);
  EXPECT_EQ(result.status.kind, LibraryErrorKind::Unreachable);
}

// The number of tests on the server with these bytes.
std::string storedTimes(const std::string& uri, const std::string& path) {
  return sqlOnServer(uri,
                     "SELECT count(*) FROM velkora.tests WHERE content_hash = '" + contentHash(readFile(path)) + "'");
}

TEST(LibrarySession, AServerStoppedDuringAnUploadLosesNothingAndTakesEverythingOnce) {
  if (testing::testServerUri().empty()) GTEST_SKIP() << testing::noServerReason();
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  testing::OwnTestServer server(dir.file("server"));
  ASSERT_TRUE(server.start());
  const std::string uri = testing::newTestDatabase(server.uri());
  ASSERT_FALSE(uri.empty());
  const std::string data = dir.file("DATA");
  fs::create_directory(data);
  std::vector<std::string> files;
  for (int k = 0; k < 4; ++k) {
    files.push_back(data + "/" + std::to_string(k) + ".tsr");
    ASSERT_TRUE(
        writeGeneratedTest(files.back(), {"Subject " + std::to_string(k % 2), TestKind::Power, 1714550400 + k}));
  }
  const std::string outbox = dir.file("library.sqlite");
  CollectingMessageSink messages;
  std::unique_ptr<LibrarySession> session = openSession(uri, outbox, "plate-1", messages);
  ASSERT_TRUE(session);
  ASSERT_TRUE(session->online());
  ASSERT_EQ(session->indexFile(files[0]).outcome, IndexOutcome::Added);

  // Another connection holds the files' table, so the upload of the next test stops inside its
  // transaction, its subject, entry and metrics written; then the server is stopped.
  PGconn* blocker = PQconnectdb(uri.c_str());
  ASSERT_EQ(PQstatus(blocker), CONNECTION_OK) << PQerrorMessage(blocker);
  PQclear(PQexec(blocker, "BEGIN; LOCK TABLE velkora.files IN EXCLUSIVE MODE"));
  LibraryIndexResult interrupted;
  std::thread upload([&] { interrupted = session->indexFile(files[1]); });
  bool waitingForTheLock = false;
  for (int k = 0; k < 500 && !waitingForTheLock; ++k) {
    PGresult* r = PQexec(blocker, "SELECT count(*) FROM pg_locks WHERE NOT granted");
    waitingForTheLock = PQresultStatus(r) == PGRES_TUPLES_OK && std::string(PQgetvalue(r, 0, 0)) != "0";
    PQclear(r);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(waitingForTheLock) << "the upload did not reach the files";
  ASSERT_TRUE(server.stop());
  upload.join();
  PQfinish(blocker);
  EXPECT_EQ(interrupted.outcome, IndexOutcome::Queued) << interrupted.status.message;
  EXPECT_FALSE(session->online());
  EXPECT_EQ(session->statusText(), "Library offline \u2013 1 tests waiting");

  // While it is down: a new test, and the first one saved again (a test sent twice).
  EXPECT_EQ(session->indexFile(files[2]).outcome, IndexOutcome::Queued);
  EXPECT_EQ(session->indexFile(files[0]).outcome, IndexOutcome::Queued);
  EXPECT_EQ(waiting(outbox), (std::vector<std::string>{"1.tsr", "2.tsr", "0.tsr"}));

  // Back again: what waited goes first, in order, then the new save; each test is there once.
  ASSERT_TRUE(server.start());
  const LibraryIndexResult next = session->indexFile(files[3]);
  EXPECT_EQ(next.outcome, IndexOutcome::Added) << next.status.message;
  EXPECT_TRUE(session->online());
  EXPECT_EQ(session->outboxCount(), 0);
  EXPECT_EQ(session->statusText(), "");
  EXPECT_EQ(sqlOnServer(uri,
                        "SELECT string_agg(substring(path from '[0-9]+[.]tsr$'), ' ' ORDER BY id) FROM "
                        "velkora.tests"),
            "0.tsr 1.tsr 2.tsr 3.tsr");
  for (const std::string& file : files) EXPECT_EQ(storedTimes(uri, file), "1") << file;
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(*) FROM velkora.files"), "4");

  // Sent again after all (a crash between the server's commit and the outbox's removal): stored once.
  {
    std::unique_ptr<LibraryOutboxStore> box = makeSqliteOutboxStore(outbox);
    ASSERT_TRUE(box->open().ok());
    OutboxItem again;
    again.server = withoutPassword(uri);
    again.path = files[1];
    again.bytes = readFile(files[1]);
    again.contentHash = contentHash(again.bytes);
    int64_t id = 0;
    ASSERT_TRUE(box->enqueue(again, id).ok());
  }
  const LibrarySendResult sent = session->sendOutbox();
  EXPECT_EQ(sent.sent, 1);
  EXPECT_EQ(sent.waiting, 0);
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(*) FROM velkora.tests"), "4");
  EXPECT_EQ(storedTimes(uri, files[1]), "1");
  EXPECT_TRUE(messages.messages.empty());
}

TEST(LibrarySession, EightProgramsSaveFiveHundredTestsEachIntoOneServerLibrary) {
  const std::string server = testing::testServerUri();
  if (server.empty()) GTEST_SKIP() << testing::noServerReason();
  const std::string uri = testing::newTestDatabase(server);
  ASSERT_FALSE(uri.empty());
  {
    CollectingMessageSink messages;
    ASSERT_TRUE(openSession(uri, "", "setup", messages));  // the schema, made before they start
  }
  TempDir dir;
  constexpr int kPrograms = 8;
  constexpr int kSaves = 500;
  std::vector<pid_t> programs;
  for (int p = 0; p < kPrograms; ++p) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const std::string data = dir.file("DATA-" + std::to_string(p));
      fs::create_directory(data);
      CollectingMessageSink messages;
      std::unique_ptr<LibrarySession> session = openSession(uri, dir.file("library-" + std::to_string(p) + ".sqlite"),
                                                            "plate-" + std::to_string(p), messages);
      if (!session) ::_exit(2);
      for (int k = 0; k < kSaves; ++k) {
        GeneratedTest test{"Subject " + std::to_string(k % 20), k % 2 == 0 ? TestKind::Power : TestKind::Force,
                           1700000000 + p * kSaves + k, 1200, 60.0 + k % 30};
        const std::string path = data + "/" + std::to_string(k) + (test.kind == TestKind::Power ? ".tsr" : ".vkr");
        if (!writeGeneratedTest(path, test, true)) ::_exit(3);
        const LibraryIndexResult result = session->indexFile(path);
        if (!result.status.ok() || result.outcome != IndexOutcome::Added) {
          std::fprintf(stderr, "program %d, save %d: %s %s\n", p, k, result.status.message.c_str(),
                       result.reason.c_str());
          ::_exit(4);
        }
      }
      ::_exit(messages.messages.empty() && session->outboxCount() == 0 ? 0 : 5);
    }
    programs.push_back(pid);
  }
  for (pid_t pid : programs) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a program met an error";
  }
  const std::string total = std::to_string(kPrograms * kSaves);
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(*) FROM velkora.tests"), total);
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(DISTINCT path) FROM velkora.tests"), total);
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(DISTINCT content_hash) FROM velkora.tests"), total);
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(*) FROM velkora.files"), total);
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(DISTINCT test_id) FROM velkora.metrics"), total) << "each with its metrics";
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(*) FROM velkora.subjects"), "20");
  EXPECT_EQ(sqlOnServer(uri,
                        "SELECT count(*) FROM velkora.subjects s WHERE test_count <> (SELECT count(*) FROM "
                        "velkora.tests t WHERE t.subject_id = s.id AND NOT t.missing) OR last_test_time <> "
                        "(SELECT max(test_time) FROM velkora.tests t WHERE t.subject_id = s.id)"),
            "0")
      << "every subject counted right, however many wrote it at once";
  EXPECT_EQ(sqlOnServer(uri,
                        "SELECT count(*) FROM velkora.tests t JOIN velkora.subjects s ON s.id = t.subject_id "
                        "WHERE s.subject_key <> lower(t.subject_name)"),
            "0");
  testing::dropTestDatabase(uri);
}

TEST(LibrarySession, ATestOfAnotherComputerIsFetchedIntoTheDataFolderWithoutOverwriting) {
  const std::string server = testing::testServerUri();
  if (server.empty()) GTEST_SKIP() << testing::noServerReason();
  const std::string uri = testing::newTestDatabase(server);
  ASSERT_FALSE(uri.empty());
  TempDir dir;
  const std::string gymData = dir.file("gym/DATA");
  fs::create_directories(gymData);
  const std::string recorded = gymData + "/anna.tsr";
  ASSERT_TRUE(writeGeneratedTest(recorded, {"Anna Meier", TestKind::Power}));
  const std::string bytes = readFile(recorded);
  CollectingMessageSink messages;
  std::unique_ptr<LibrarySession> gym = openSession(uri, dir.file("gym/library.sqlite"), "gym-pc", messages);
  ASSERT_TRUE(gym);
  ASSERT_EQ(gym->indexFile(recorded).outcome, IndexOutcome::Added);

  std::unique_ptr<LibrarySession> home = openSession(uri, dir.file("home/library.sqlite"), "home-pc", messages);
  ASSERT_TRUE(home && home->library());
  std::vector<LibraryTestEntry> tests;
  ASSERT_TRUE(home->library()->tests({}, tests).ok());
  ASSERT_EQ(tests.size(), 1u);
  EXPECT_EQ(tests[0].path, "gym-pc:" + recorded);

  const std::string other = testing::generatedMeasurementBytes({"Someone Else", TestKind::Power});
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> there;  // files in the DATA folder before
    std::string expected;
  };
  const Case cases[] = {
      {"an empty folder (not made yet)", {}, "anna.tsr"},
      {"another anna.tsr", {{"anna.tsr", other}}, "anna (2).tsr"},
      {"two others", {{"anna.tsr", other}, {"anna (2).tsr", other}}, "anna (3).tsr"},
      {"the same test there already", {{"anna.tsr", other}, {"anna (2).tsr", bytes}}, "anna (2).tsr"},
  };
  int k = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string homeData = dir.file("home/DATA-" + std::to_string(k++));
    if (!c.there.empty()) fs::create_directories(homeData);
    for (const auto& [name, content] : c.there) testing::writeFile(homeData + "/" + name, content);
    std::string path;
    const LibraryStatus status = home->fetchTestFile(tests[0], homeData, path);
    ASSERT_TRUE(status.ok()) << status.message;
    EXPECT_EQ(path, homeData + "/" + c.expected);
    EXPECT_EQ(readFile(path), bytes) << "the bytes as recorded";
    for (const auto& [name, content] : c.there) EXPECT_EQ(readFile(homeData + "/" + name), content) << name;
    std::set<std::string> names{c.expected}, found;
    for (const auto& [name, content] : c.there) names.insert(name);
    for (const auto& entry : fs::directory_iterator(homeData)) found.insert(entry.path().filename().string());
    EXPECT_EQ(found, names) << "nothing else, no temporary file left";
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    // Opened at home, the test is indexed as the one the library has: never a second entry.
    const LibraryIndexResult opened = home->indexFile(path);
    EXPECT_EQ(opened.outcome, IndexOutcome::Unchanged) << opened.status.message;
    EXPECT_EQ(opened.testId, tests[0].id);
  }
  EXPECT_EQ(sqlOnServer(uri, "SELECT count(*) FROM velkora.tests"), "1");

  // On the computer it was recorded on, the file itself.
  std::string path;
  ASSERT_TRUE(gym->fetchTestFile(tests[0], dir.file("gym/elsewhere"), path).ok());
  EXPECT_EQ(path, recorded);
  EXPECT_FALSE(fs::exists(dir.file("gym/elsewhere")));
  EXPECT_TRUE(messages.messages.empty());
  testing::dropTestDatabase(uri);
}

TEST(LibrarySession, ALibraryFileOpensItsOwnFiles) {
  TempDir dir;
  const std::string file = dir.file("jump.tsr");
  ASSERT_TRUE(writeGeneratedTest(file, {"Anna", TestKind::Power}));
  CollectingMessageSink messages;
  std::unique_ptr<LibrarySession> session = openSession(dir.file("library.sqlite"), "", "", messages);
  ASSERT_TRUE(session);
  EXPECT_FALSE(session->isServer());
  EXPECT_TRUE(session->online());
  ASSERT_EQ(session->indexFile(file).outcome, IndexOutcome::Added);
  std::optional<LibraryTestEntry> entry;
  ASSERT_TRUE(session->library()->testAtPath(file, entry).ok());
  ASSERT_TRUE(entry);
  std::string path;
  ASSERT_TRUE(session->fetchTestFile(*entry, dir.file("DATA"), path).ok());
  EXPECT_EQ(path, file);
  fs::remove(file);
  EXPECT_FALSE(session->fetchTestFile(*entry, dir.file("DATA"), path).ok());
  EXPECT_EQ(session->statusText(), "");
  EXPECT_EQ(session->sendOutbox().waiting, 0);
}

}  // namespace
}  // namespace velkora
