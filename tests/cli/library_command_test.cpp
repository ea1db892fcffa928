// velkora-cli library: the outputs of scan, subjects, tests and trend on generated files, CSV that
// reads back cell for cell, the command lines it refuses, and a damaged or too new library.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "library/sqlite_backend.h"
#include "reports/test_metrics.h"
#include "support/cli_runner.h"
#include "support/measurement_files.h"
#include "support/temp_dir.h"

namespace velkora::cli {
namespace {

namespace fs = std::filesystem;
using velkora::testing::CliResult;
using velkora::testing::GeneratedTest;

// RFC 4180: the rows and cells of a CSV text whose lines end in "\n".
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    std::string& cell = rows.back().back();
    if (quoted) {
      if (c == '"' && k + 1 < text.size() && text[k + 1] == '"') {
        cell.push_back('"');
        ++k;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell.push_back(c);
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().emplace_back();
    } else if (c == '\n') {
      rows.emplace_back(1);
    } else {
      cell.push_back(c);
    }
  }
  EXPECT_FALSE(quoted);
  EXPECT_EQ(rows.back(), std::vector<std::string>(1)) << "the text ends with a line end";
  rows.pop_back();
  return rows;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> found;
  size_t from = 0;
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
    found.push_back(text.substr(from, at - from));
    from = at + 1;
  }
  return found;
}

class LibraryCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) savedZone_ = tz;
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    data_ = dir_.file("DATA");
    fs::create_directories(data_ + "/2024");
    library_ = dir_.file("library.sqlite");
    // Anna typed three ways, a hostile name, and a force test of Anna's.
    add("2024/a1.tsr", {"Anna Meier", TestKind::Power, 1714550400, 5000, 62.0, 400});   // 2024-05-01 08:00
    add("2024/a2.tsr", {"anna meier ", TestKind::Power, 1715155200, 5000, 62.0, 470});  // 2024-05-08 08:00
    add("a3.TSR", {"ANNA MEIER", TestKind::Power, 1716364800, 5000, 62.0, 430});        // 2024-05-22
    add("a4.vkr", {"Anna Meier", TestKind::Force, 1716451200, 5000, 90.0, 0, 3});       // 2024-05-23
    add("o.vkr", {kHostile, TestKind::Force, 1714464000, 4000, 70.0, 0, 2});            // 2024-04-30
  }
  void TearDown() override {
    if (savedZone_.empty())
      ::unsetenv("TZ");
    else
      ::setenv("TZ", savedZone_.c_str(), 1);
    ::tzset();
  }

  void add(const std::string& name, const GeneratedTest& test) {
    ASSERT_TRUE(testing::writeGeneratedTest(data_ + "/" + name, test));
  }
  CliResult library(std::vector<std::string> args) {
    args.insert(args.begin(), "library");
    args.push_back("--library");
    args.push_back(library_);
    return testing::runCommandLine(args);
  }

  static constexpr const char* kHostile = "O'Brien, \"Jim\"\n'); DROP TABLE tests;--";
  testing::TempDir dir_;
  std::string data_;
  std::string library_;
  std::string savedZone_;
};

TEST_F(LibraryCommand, ScanPrintsWhatItDidAndFailsOnBrokenFiles) {
  CliResult r = library({"scan", data_});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "added: 5\nupdated: 0\nunchanged: 0\nmissing: 0\nfailed: 0\n");
  EXPECT_EQ(r.err, "") << "no progress when stderr is not a terminal";

  testing::writeFile(data_ + "/broken.vkr", std::string(300, 'x'));
  fs::remove(data_ + "/o.vkr");
  r = library({"scan", data_});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(r.out, "added: 0\nupdated: 0\nunchanged: 4\nmissing: 1\nfailed: 1\n  " + fs::canonical(data_).string() +
                       "/broken.vkr: Incompatible data\n");

  r = library({"scan", data_ + "/nothing"});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("velkora-cli library scan: " + data_ + "/nothing: No such file or directory"), std::string::npos)
      << r.err;
}

TEST_F(LibraryCommand, SubjectsAndTestsAsTextAndCsv) {
  ASSERT_EQ(library({"scan", data_}).code, kExitOk);
  CliResult r = library({"subjects"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "tests  missing  last test            name\n"
            "    4        0  2024-05-23T08:00:00  Anna Meier\n"
            "    1        0  2024-04-30T08:00:00  O'Brien, \"Jim\"\\x0A'); DROP TABLE tests;--\n");

  r = library({"subjects", "--csv"});
  ASSERT_EQ(r.code, kExitOk);
  const auto subjects = parseCsv(r.out);
  ASSERT_EQ(subjects.size(), 3u);
  EXPECT_EQ(subjects[0], (std::vector<std::string>{"name", "tests", "missing", "lastTest"}));
  EXPECT_EQ(subjects[1], (std::vector<std::string>{"Anna Meier", "4", "0", "2024-05-23T08:00:00+00:00"}));
  EXPECT_EQ(subjects[2], (std::vector<std::string>{kHostile, "1", "0", "2024-04-30T08:00:00+00:00"}));

  // One subject however typed, oldest first; the kind and the date narrow it.
  r = library({"tests", "--subject", "  aNNa meier"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::vector<std::string> text = lines(r.out);
  ASSERT_EQ(text.size(), 5u);
  EXPECT_EQ(text[0].substr(0, 35), "date                 kind   subject");
  EXPECT_EQ(text[1].substr(0, 33), "2024-05-01T08:00:00  power  Anna ");
  EXPECT_EQ(text[2].substr(0, 33), "2024-05-08T08:00:00  power  anna ");
  EXPECT_EQ(text[4].substr(0, 33), "2024-05-23T08:00:00  force  Anna ");
  EXPECT_NE(text[1].find("jump "), std::string::npos) << text[1];
  EXPECT_NE(text[4].find("peak "), std::string::npos) << text[4];
  r = library({"tests", "--subject", "Anna Meier", "--kind", "power", "--since", "2024-05-08"});
  EXPECT_EQ(lines(r.out).size(), 3u) << r.out;
  r = library({"tests", "--since", "2024-05-22T08:00:01"});
  EXPECT_EQ(lines(r.out).size(), 2u) << r.out;

  r = library({"tests", "--csv"});
  ASSERT_EQ(r.code, kExitOk);
  const auto rows = parseCsv(r.out);
  ASSERT_EQ(rows.size(), 6u);
  const size_t columns = 5 + powerMetricKeys().size() + forceMetricKeys().size();
  for (const auto& row : rows) EXPECT_EQ(row.size(), columns);
  EXPECT_EQ(rows[0][0], "date");
  EXPECT_EQ(rows[0][5], "power." + std::string(powerMetricKeys()[0]));
  EXPECT_EQ(rows[0][5 + powerMetricKeys().size()], "force." + std::string(forceMetricKeys()[0]));
  EXPECT_EQ(rows[1][1], kHostile) << "the name verbatim in one cell";
  EXPECT_EQ(rows[1][2], "force");
  EXPECT_EQ(rows[1][3], fs::canonical(data_).string() + "/o.vkr");
  EXPECT_EQ(rows[1][4], "present");
  EXPECT_EQ(rows[1][5], "n/a") << "a force test has no power values";
  EXPECT_EQ(rows[2][0], "2024-05-01T08:00:00+00:00");
  EXPECT_EQ(rows[2][5], "5000") << "power.sampleCount as velkora-cli metrics prints it";
}

TEST_F(LibraryCommand, TrendOldestFirstWithTheBestMarked) {
  ASSERT_EQ(library({"scan", data_}).code, kExitOk);
  CliResult r = library({"trend", "--subject", "ANNA MEIER", "--metric", "jumpHeightFlightTime_cm", "--csv"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const auto rows = parseCsv(r.out);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"date", "value", "file"}));
  EXPECT_EQ(rows[1][0], "2024-05-01T08:00:00+00:00");
  EXPECT_EQ(rows[2][0], "2024-05-08T08:00:00+00:00");
  EXPECT_EQ(rows[3][0], "2024-05-22T08:00:00+00:00");
  // Flights of 400, 470 and 430 ms: the second jump is the highest.
  EXPECT_LT(std::stod(rows[1][1]), std::stod(rows[3][1]));
  EXPECT_LT(std::stod(rows[3][1]), std::stod(rows[2][1]));

  r = library({"trend", "--subject", "Anna Meier", "--metric", "jumpHeightFlightTime_cm"});
  ASSERT_EQ(r.code, kExitOk);
  const std::vector<std::string> text = lines(r.out);
  ASSERT_EQ(text.size(), 6u);
  EXPECT_EQ(text[0], "subject: Anna Meier");
  EXPECT_EQ(text[1], "metric: jumpHeightFlightTime_cm");
  EXPECT_EQ(text[3].find("(best)"), std::string::npos);
  EXPECT_NE(text[4].find("(best)"), std::string::npos) << text[4];
  EXPECT_NE(text[4].find(rows[2][1]), std::string::npos);

  r = library({"trend", "--subject", "Nobody", "--metric", "peakForce_N"});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("no subject named Nobody"), std::string::npos) << r.err;
}

TEST_F(LibraryCommand, CommandLinesThatAreRefused) {
  const std::vector<std::vector<std::string>> usage = {
      {"library"},
      {"library", "scan"},
      {"library", "trend", "--subject", "A", "--metric", "noSuchKey"},
      {"library", "trend", "--subject", "A", "--metric", "jumpType"},
      {"library", "trend", "--subject", "A", "--metric", "rep26.peakForce_N"},
      {"library", "trend", "--metric", "peakForce_N"},
      {"library", "trend", "--subject", "A", "--metric", "peakForce_N", "--csv", "--output", "t.png"},
      {"library", "trend", "--subject", "A", "--metric", "peakForce_N", "--output", "t.gif"},
      {"library", "tests", "--since", "2024-02-30"},
      {"library", "tests", "--since", "yesterday"},
      {"library", "tests", "--kind", "jump"},
      {"library", "compare", "a.vkr", "--output", "c.png"},
      {"library", "compare", "a", "b", "c", "d", "e", "--output", "c.png"},
      {"library", "compare", "a", "b"},
      {"library", "sync", "extra"},
  };
  for (const auto& args : usage) {
    const CliResult r = testing::runCommandLine(args);
    EXPECT_EQ(r.code, kExitUsage) << args.back() << "\n" << r.err;
    EXPECT_EQ(r.out, "");
  }
  // Accepted: repetition keys up to the table's 25 rows.
  EXPECT_EQ(library({"trend", "--subject", "Nobody", "--metric", "rep25.rfd0to100_N_s"}).code, kExitFailure);
}

TEST_F(LibraryCommand, DamagedTooNewAndServerLibraries) {
  ASSERT_EQ(library({"scan", data_}).code, kExitOk);
  std::string bytes = testing::readFile(library_);
  for (size_t k = 0; k < 64; ++k) bytes[k] = 'x';
  testing::writeFile(library_, bytes);
  CliResult r = library({"scan", data_});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out, "added: 5\nupdated: 0\nunchanged: 0\nmissing: 0\nfailed: 0\n") << "rebuilt by the scan itself";
  EXPECT_EQ(r.err.rfind("velkora-cli library scan: The library " + library_ + " is damaged", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("moved to " + library_ + ".damaged-"), std::string::npos) << r.err;

  r = library({"sync"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, "0 tests waiting\n");

  {
    // A library of a newer program: refused, left as it is.
    auto backend = makeSqliteBackend(library_);
    ASSERT_TRUE(backend->open().ok());
  }
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(library_.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode = DELETE; PRAGMA user_version = 99;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  bytes = testing::readFile(library_);
  r = library({"subjects"});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("schema version 99, newer than this program knows"), std::string::npos) << r.err;
  EXPECT_EQ(testing::readFile(library_), bytes);

  // A server where no server listens: said so, and no password is ever shown.
  const std::string nowhere = "postgresql://coach:s3cret-word@/velkora?host=" + dir_.file("no-server");
  r = testing::runCommandLine({"library", "subjects", "--library", nowhere});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("cannot be reached"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("s3cret-word"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace velkora::cli
