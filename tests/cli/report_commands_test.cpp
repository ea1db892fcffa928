#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <ctime>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/measurement_use_cases.h"
#include "app/program_records.h"
#include "cli/cli_command.h"
#include "reports/jump_analysis.h"
#include "storage/measurement_file.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace velkora::cli {
namespace {

using velkora::testing::CliResult;

CliResult run(const std::vector<std::string>& args) { return velkora::testing::runCommandLine(args); }

std::vector<std::string> lines(const std::string& text, const std::string& end) {
  std::vector<std::string> result;
  size_t from = 0;
  for (size_t at = text.find(end); at != std::string::npos; at = text.find(end, from)) {
    result.push_back(text.substr(from, at - from));
    from = at + end.size();
  }
  EXPECT_EQ(from, text.size()) << "text does not end with a line end";
  return result;
}

// Report and export commands on files written by the program's own writer, in UTC.
class ReportCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = getenv("TZ")) oldTz_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (oldTz_)
      setenv("TZ", oldTz_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
    std::setlocale(LC_NUMERIC, "C");
  }

  // Samples of the given vertical forces (coefficient 1, horizontal 0).
  std::string makeFile(const std::string& name, const std::vector<std::pair<int32_t, int32_t>>& segments,
                       float bodyWeight = 100.0f, const std::string& subjectName = "Ana") {
    auto store = std::make_unique<MeasurementStore>();
    int32_t n = 0;
    for (const auto& [count, vertical] : segments)
      for (int32_t i = 0; i < count; ++i, ++n) {
        store->channels.vertical[n] = vertical;
        store->channels.horizontal[n] = 0;
      }
    store->sampleCount = n;
    store->calibration = {148.0f, 2048.0f, 1.0f, 1.0f};
    store->bodyWeight = bodyWeight;
    store->testTime = 1359896709;  // 3 February 2013, 13:05:09 UTC
    store->repetitions.count = 2;
    store->repetitions.peakVertical[0] = 500;
    store->repetitions.peakVertical[1] = 601;
    SubjectInfo subject{subjectName, 1, 0, 80, 180, "", "", ""};
    const std::string path = dir_.file(name);
    velkora::testing::writeFile(path, encodeMeasurement(*store, subject));
    return path;
  }

  // 100 kg: 1 s standing, 1 s pushing at 1231 N (2.5 m/s), 500 ms in the air, 200 ms standing.
  std::string jumpFile(const std::string& name, float bodyWeight = 100.0f) {
    return makeFile(name, {{1000, 981}, {1000, 1231}, {500, 0}, {200, 981}}, bodyWeight);
  }

  velkora::testing::TempDir dir_;
  std::optional<std::string> oldTz_;
};

TEST_F(ReportCommands, DigitalReportOfAForceFile) {
  const std::string path = makeFile("three.vkr", {{1, 10}, {1, 20}, {1, 31}});
  CliResult r = run({"report", "digital", path});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "Time interval  Vertical Force   Horizontal Force  Vector Force  \r\n"
            "(ms)  (N)  (N)  (N)  \r\n"
            "       1 -       1  10.0   0.0  10.0\r\n"
            "       2 -       2  20.0   0.0  20.0\r\n"
            "       3 -       3  31.0   0.0  31.0\r\n");

  r = run({"report", "digital", path, "--interval", "2"});
  ASSERT_EQ(r.code, kExitOk);
  EXPECT_EQ(lines(r.out, "\r\n"),
            (std::vector<std::string>{"Time interval  Vertical Force   Horizontal Force  Vector Force  ",
                                      "(ms)  (N)  (N)  (N)  ", "       1 -       2  15.0   0.0  15.0",
                                      "       3 -       3  31.0   0.0  31.0"}));

  r = run({"report", "repetition", path, "--interval=2"});
  ASSERT_EQ(r.code, kExitOk);
  EXPECT_EQ(lines(r.out, "\r\n").back(), "       1 -       2   550     0     0     0");

  // A decimal comma where the locale has one.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    r = run({"report", "digital", path, "--interval", "2"});
    EXPECT_EQ(lines(r.out, "\r\n")[2], "       1 -       2  15,0   0,0  15,0");
  }
}

TEST_F(ReportCommands, PowerLayoutsAndJumpReports) {
  const std::string path = jumpFile("jump.tsr");
  CliResult r = run({"report", "digital", path, "--interval", "2700"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::vector<std::string> digital = lines(r.out, "\r\n");
  ASSERT_EQ(digital.size(), 3u);
  EXPECT_EQ(digital[0], "Time interval  Force  Acceleration  Velocity  Height  Power  ");
  EXPECT_EQ(digital[1], "(ms)  (N)  (m/(s.s))  (m/s)  (cm)  (W)  ");
  EXPECT_EQ(digital[2].substr(0, 24), "       1 -    2700   891");  // 2408200 N / 2700, cut

  r = run({"report", "height", path});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(lines(r.out, "\r\n"), (std::vector<std::string>{"         ", "         ", "h - TAKE OFF IMPULSE:  31.9 cm",
                                                            "", "h - FLIGHT TIME:  30.7 cm"}));

  r = run({"report", "summary", path});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::vector<std::string> summary = lines(r.out, "\r\n");
  ASSERT_EQ(summary.size(), 8u);
  EXPECT_EQ(summary[2].substr(0, 18), " Fmax:  1231   (N)");

  // The jump reports need a power test: a force file is refused unless read as a power test.
  const std::string force = jumpFile("jump.vkr");
  r = run({"report", "summary", force});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("power test"), std::string::npos);
  r = run({"report", "height", force, "--kind", "power"});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(lines(r.out, "\r\n")[4], "h - FLIGHT TIME:  30.7 cm");
  // And a power file read as a force test gets the force layout.
  r = run({"report", "digital", path, "--kind", "force", "--interval", "10000"});
  EXPECT_EQ(lines(r.out, "\r\n")[1], "(ms)  (N)  (N)  (N)  ");
}

TEST_F(ReportCommands, WrongCommandLinesAndFiles) {
  const std::string path = makeFile("a.vkr", {{3, 10}});
  for (const std::vector<std::string>& args : {std::vector<std::string>{"report"},
                                               {"report", "digital"},
                                               {"report", "weekly", path},
                                               {"report", "digital", path, "--interval", "0"},
                                               {"report", "digital", path, "--interval", "x"},
                                               {"report", "digital", path, "--interval"},
                                               {"report", "digital", path, "extra"},
                                               {"report", "digital", path, "--kind", "jump"},
                                               {"export-csv"},
                                               {"export-csv", path, "--interval", "0"},
                                               {"export-csv", path, "--kind", "jump"},
                                               {"export-csv", path, "--separator", ";;"},
                                               {"export-csv", path, "--separator", "\t"},
                                               {"export-csv", path, "--report", "summary"},
                                               {"export-csv", path, "--bogus"},
                                               {"samples"},
                                               {"jump", path, "--body-weight", "-1"},
                                               {"jump", path, "--body-weight", "heavy"}}) {
    const CliResult r = run(args);
    EXPECT_EQ(r.code, kExitUsage) << args.size() << " " << args.back();
    EXPECT_FALSE(r.err.empty());
  }
  for (const std::string command : {"report", "export-csv", "samples", "jump"}) {
    std::vector<std::string> args{command};
    if (command == "report") args.push_back("digital");
    args.push_back(dir_.file("missing.vkr"));
    const CliResult r = run(args);
    EXPECT_EQ(r.code, kExitFailure) << command;
    EXPECT_EQ(r.err, "Error opening file\n" + dir_.file("missing.vkr") + ": No such file or directory\n") << command;
  }
}

TEST_F(ReportCommands, ExportCsv) {
  const std::string path = makeFile("three.vkr", {{1, 10}, {1, 20}, {1, 31}}, 0.0f, "");
  CliResult r = run({"export-csv", path, "--separator", ";"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string expected =
      "Name: \r\n\r\n"
      "Date: 03.02.2013  at  13:05:09\r\n\r\n"
      "Time interval;Vertical Force ;Horizontal Force;Vector Force;\r\n"
      "(ms);(N);(N);(N);\r\n"
      "       1 -       1;  10.0;   0.0;  10.0;\r\n"
      "       2 -       2;  20.0;   0.0;  20.0;\r\n"
      "       3 -       3;  31.0;   0.0;  31.0;\r\n";
  EXPECT_EQ(r.out, expected);

  // Into a file, with the separator the locale's decimal mark implies.
  const std::string output = dir_.file("out.csv");
  r = run({"export-csv", path, "--output", output});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_TRUE(r.out.empty());
  std::string comma = expected;
  for (char& c : comma)
    if (c == ';') c = ',';
  EXPECT_EQ(velkora::testing::readFile(output), comma);

  r = run({"export-csv", path, "--report", "repetition", "--separator", "|"});
  ASSERT_EQ(r.code, kExitOk);
  EXPECT_EQ(lines(r.out, "\r\n").back(), "       2 -       2|   601|     0|     0|     0|");

  r = run({"export-csv", path, "--output", dir_.file("no/such/dir/out.csv")});
  EXPECT_EQ(r.code, kExitFailure);
}

TEST_F(ReportCommands, SamplesInPhysicalUnits) {
  const std::string force = makeFile("two.vkr", {{1, 3}, {1, -1234}});
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not available";
  CliResult r = run({"samples", force});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out,
            "index,time_ms,vertical_N,horizontal_N,vector_N\n"
            "0,0,3.000,0.000,3.000\n"
            "1,1,-1234.000,0.000,1234.000\n");

  r = run({"samples", jumpFile("jump.tsr")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::vector<std::string> rows = lines(r.out, "\n");
  ASSERT_EQ(rows.size(), 2701u);
  EXPECT_EQ(rows[0], "index,time_ms,vertical_N,horizontal_N,vector_N,velocity_m_s,displacement_cm,power_W");
  EXPECT_EQ(rows[1].substr(0, 24), "0,0,981.000,0.000,981.00");
  EXPECT_EQ(rows[1].find(','), 1u);
  EXPECT_EQ(rows[2000].substr(0, 30), "1999,1999,1231.000,0.000,1231.");
  for (const std::string& row : rows) EXPECT_EQ(row.find(";"), std::string::npos);
}

TEST_F(ReportCommands, JumpAnalysisOfAFile) {
  // The detection and the heights of the take-off impulse and the flight time, compared with the physics;
  // the extremes come from the kinematics model, tested with it.
  const std::string path = jumpFile("jump.vkr");  // any name: read as a power test
  CliResult r = run({"jump", path});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::vector<std::string> out = lines(r.out, "\n");
  ASSERT_EQ(out.size(), 17u);
  const std::vector<std::string> keys = {"peakIndex",
                                         "unweightingStart",
                                         "takeOffIndex",
                                         "windowStart",
                                         "touchDownIndex",
                                         "takeOffVelocity",
                                         "heightByImpulse",
                                         "flightTime",
                                         "heightByFlightTime",
                                         "takeOffMaxForce",
                                         "takeOffMaxVelocity",
                                         "takeOffMaxPower",
                                         "takeOffMinDisplacement",
                                         "touchDownMaxForce",
                                         "touchDownMinVelocity",
                                         "touchDownMinPower",
                                         "touchDownMaxDisplacement"};
  for (size_t k = 0; k < keys.size(); ++k) EXPECT_EQ(out[k].substr(0, out[k].find(':')), keys[k]);
  EXPECT_EQ(out[2], "takeOffIndex: 2000");
  EXPECT_EQ(out[3], "windowStart: 1000");
  EXPECT_EQ(out[4], "touchDownIndex: 2500");
  EXPECT_EQ(out[5], "takeOffVelocity: 2.5");
  EXPECT_EQ(out[7], "flightTime: 500");
  EXPECT_EQ(out[8], "heightByFlightTime: 30.65625");
  EXPECT_EQ(out[9], "takeOffMaxForce: 1231");

  // Another body weight, and none at all; printed with '.' in any locale.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    r = run({"jump", path, "--body-weight", "125"});
    EXPECT_EQ(lines(r.out, "\n")[5], "takeOffVelocity: 0.0379999988");  // (1231 − 1226.25) / 125
  }
  r = run({"jump", path, "--body-weight=0"});
  EXPECT_EQ(lines(r.out, "\n")[5], "takeOffVelocity: 0");
  EXPECT_EQ(lines(r.out, "\n")[6], "heightByImpulse: 0");
}

TEST_F(ReportCommands, OpeningAPowerFileRunsTheAnalysis) {
  const std::string path = jumpFile("jump.tsr");
  auto records = std::make_unique<ProgramRecords>();
  const MeasurementStore& store = records->store;
  CollectingMessageSink messages;
  ASSERT_TRUE(openMeasurement(records->shared(), path, TestKind::Power, messages));
  EXPECT_EQ(store.testKind, TestKind::Power);
  EXPECT_TRUE(store.jump.analysed);
  EXPECT_EQ(store.jump.peakIndex, 1999);  // end of the push: the mean force is below 1231 N
  EXPECT_GT(forceAt(store, 1999, ForceChannel::Velocity), 0.0f);

  records->store.jump.peakIndex = 77;
  ASSERT_TRUE(openMeasurement(records->shared(), path, TestKind::Force, messages));
  EXPECT_EQ(store.testKind, TestKind::Force);
  EXPECT_FALSE(store.jump.analysed);
  EXPECT_EQ(store.jump.peakIndex, 77);
  EXPECT_EQ(forceAt(store, 1999, ForceChannel::Velocity), 0.0f);
  // Reading the file alone leaves the analysis to its caller.
  ASSERT_TRUE(readMeasurementFile(path, TestKind::Power, records->store, records->subject, messages));
  EXPECT_FALSE(store.jump.analysed);
}

}  // namespace
}  // namespace velkora::cli
