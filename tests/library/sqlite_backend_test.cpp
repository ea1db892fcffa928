// The SQLite backend: the shared suite, and what only a library file has: its schema version and
// owner in the file's header, migrations from an empty file, and files that are not ours.

#include "library/sqlite_backend.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "library/library_backend_suite.h"
#include "support/temp_dir.h"

namespace velkora {
namespace {

using testing::LibraryBackendFactory;
using testing::LibraryBackendSuite;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;

const LibraryBackendFactory kSqlite{"Sqlite", [](const std::string& scratch) { return scratch + "/library.sqlite"; },
                                    [](const std::string& location) { return makeSqliteBackend(location); }};

INSTANTIATE_TEST_SUITE_P(Sqlite, LibraryBackendSuite, ::testing::Values(kSqlite), testing::backendName);

// Runs SQL on the file with a connection of its own and gives back the first column of the last row.
std::string sqlOn(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string result;
  const char* next = sql.c_str();
  while (*next != '\0') {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, next, -1, &s, &next) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
      break;
    }
    if (s == nullptr) continue;
    while (sqlite3_step(s) == SQLITE_ROW)
      result = sqlite3_column_text(s, 0) ? reinterpret_cast<const char*>(sqlite3_column_text(s, 0)) : "";
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return result;
}

TEST(SqliteBackend, MigratesAnEmptyVersionZeroFile) {
  struct Case {
    const char* name;
    void (*prepare)(const std::string& path);
  };
  const Case cases[] = {
      {"no file yet", [](const std::string&) {}},
      {"an empty file", [](const std::string& path) { writeFile(path, ""); }},
      {"a database at version 0 without tables",
       [](const std::string& path) { sqlOn(path, "CREATE TABLE t(x); DROP TABLE t; PRAGMA user_version = 0;"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("library.sqlite");
    c.prepare(path);
    if (std::filesystem::exists(path)) {
      ASSERT_EQ(sqlOn(path, "PRAGMA user_version"), "0");
    }
    {
      std::unique_ptr<LibraryBackend> backend = makeSqliteBackend(path);
      const LibraryStatus status = backend->open();
      ASSERT_TRUE(status.ok()) << status.message;
      EXPECT_EQ(backend->schemaVersion(), kSqliteLibrarySchemaVersion);
      LibraryTest test = testing::sampleTest("/d/a.tsr", "Anna", TestKind::Power, 1700000000, 30.0);
      int64_t id = 0;
      ASSERT_TRUE(backend->writeTransaction([&] { return backend->upsertTest(test, id); }).ok());
    }
    EXPECT_EQ(sqlOn(path, "PRAGMA user_version"), std::to_string(kSqliteLibrarySchemaVersion));
    EXPECT_EQ(sqlOn(path, "PRAGMA application_id"), std::to_string(kSqliteLibraryApplicationId));
    EXPECT_EQ(sqlOn(path, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(sqlOn(path,
                    "SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_schema WHERE name NOT LIKE "
                    "'sqlite_%' ORDER BY name)"),
              "metric_keys metrics outbox subjects tests tests_by_hash tests_by_subject tests_by_time");
    EXPECT_EQ(sqlOn(path, "SELECT count(*) FROM tests"), "1");
    EXPECT_EQ(sqlOn(path, "PRAGMA integrity_check"), "ok");
    // Opening it again migrates nothing.
    std::unique_ptr<LibraryBackend> again = makeSqliteBackend(path);
    ASSERT_TRUE(again->open().ok());
    EXPECT_EQ(sqlOn(path, "SELECT count(*) FROM tests"), "1");
  }
}

TEST(SqliteBackend, ANewerSchemaIsRefusedAndNothingIsWritten) {
  TempDir dir;
  const std::string path = dir.file("library.sqlite");
  {
    std::unique_ptr<LibraryBackend> backend = makeSqliteBackend(path);
    ASSERT_TRUE(backend->open().ok());
  }
  // A library a newer program made, left in the rollback journal so any write would show in the file.
  sqlOn(path, "PRAGMA journal_mode = DELETE; PRAGMA user_version = " + std::to_string(kSqliteLibrarySchemaVersion + 1));
  const std::string before = readFile(path);
  const auto modified = std::filesystem::last_write_time(path);

  std::unique_ptr<LibraryBackend> backend = makeSqliteBackend(path);
  const LibraryStatus status = backend->open();
  EXPECT_EQ(status.kind, LibraryErrorKind::TooNew);
  EXPECT_NE(status.message.find("newer than this program knows"), std::string::npos) << status.message;
  EXPECT_NE(status.message.find(path), std::string::npos) << status.message;
  backend.reset();
  EXPECT_EQ(readFile(path), before);
  EXPECT_EQ(std::filesystem::last_write_time(path), modified);
  EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
  EXPECT_EQ(sqlOn(path, "PRAGMA journal_mode"), "delete");
}

TEST(SqliteBackend, FilesThatAreNotOurLibraryAreReportedAndLeftAlone) {
  struct Case {
    const char* name;
    void (*prepare)(const std::string& path);
    LibraryErrorKind kind;
  };
  const Case cases[] = {
      {"another program's database", [](const std::string& path) { sqlOn(path, "CREATE TABLE notes(text);"); },
       LibraryErrorKind::Foreign},
      {"another program's application id",
       [](const std::string& path) { sqlOn(path, "PRAGMA application_id = 1234; CREATE TABLE t(x); DROP TABLE t;"); },
       LibraryErrorKind::Foreign},
      {"a text file", [](const std::string& path) { writeFile(path, std::string(5000, 'x') + "\nnot a database\n"); },
       LibraryErrorKind::Damaged},
      {"our library with its header overwritten",
       [](const std::string& path) {
         {
           std::unique_ptr<LibraryBackend> backend = makeSqliteBackend(path);
           ASSERT_TRUE(backend->open().ok());
         }
         std::string bytes = readFile(path);
         for (size_t k = 0; k < 100; ++k) bytes[k] = static_cast<char>(0xA5 ^ k);
         writeFile(path, bytes);
       },
       LibraryErrorKind::Damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.file("library.sqlite");
    c.prepare(path);
    const std::string before = readFile(path);
    std::unique_ptr<LibraryBackend> backend = makeSqliteBackend(path);
    const LibraryStatus status = backend->open();
    EXPECT_EQ(status.kind, c.kind) << status.message;
    EXPECT_EQ(readFile(path), before);

    // Set aside, a fresh library takes its place.
    std::string aside;
    ASSERT_TRUE(backend->setAside(aside).ok());
    EXPECT_EQ(aside.rfind(path + ".damaged-", 0), 0u) << aside;
    EXPECT_EQ(readFile(aside), before);
    ASSERT_TRUE(backend->open().ok());
    std::vector<LibraryTestEntry> tests;
    ASSERT_TRUE(backend->listTests({}, tests).ok());
    EXPECT_TRUE(tests.empty());
  }
}

TEST(SqliteBackend, SetAsideNamesNeverOverwrite) {
  TempDir dir;
  const std::string path = dir.file("library.sqlite");
  const int64_t when = 1714550400;
  const std::string first = setAsideName(path, when);
  EXPECT_EQ(first.rfind(path + ".damaged-20", 0), 0u) << first;
  EXPECT_EQ(first.size(), path.size() + std::string(".damaged-YYYYMMDD-HHMMSS").size());
  writeFile(first, "taken");
  EXPECT_EQ(setAsideName(path, when), first + "-2");
  writeFile(first + "-2-wal", "taken");
  EXPECT_EQ(setAsideName(path, when), first + "-3");
}

}  // namespace
}  // namespace velkora
