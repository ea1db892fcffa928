#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "storage/measurement_file.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace velkora::cli {
namespace {

using velkora::testing::CliResult;

CliResult run(const std::vector<std::string>& args) { return velkora::testing::runCommandLine(args); }

// Runs with the local time zone set to UTC and puts the previous one back.
class InfoCommand : public ::testing::Test {
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
  }

  // A file with the given content, written by the program's own writer.
  std::string makeFile(const std::string& name) {
    auto store = std::make_unique<MeasurementStore>();
    store->bodyWeight = 76.5f;
    store->calibration = {150.5f, 2047.0f, 0.1f, 1.0f};
    store->sampleCount = 1234;
    store->repetitions.count = 3;
    store->testTime = 1700000000;
    SubjectInfo subject{"Anna Nov\xC3\xA1kov\xC3\xA1", 0, 30, 64, 171, "left leg", "", "line\nbreak \\ tab\t"};
    const std::string path = dir_.file(name);
    velkora::testing::writeFile(path, encodeMeasurement(*store, subject));
    return path;
  }

  velkora::testing::TempDir dir_;
  std::optional<std::string> oldTz_;
};

TEST_F(InfoCommand, PrintsEveryFieldOfTheFile) {
  const CliResult r = run({"info", makeFile("a.vkr")});
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "name: Anna Nov\xC3\xA1kov\xC3\xA1\n"
            "sex: female\n"
            "height: 171\n"
            "weight: 64\n"
            "comment1: left leg\n"
            "comment2: \n"
            "comment3: line\\x0Abreak \\\\ tab\\x09\n"
            "bodyWeight: 76.5\n"
            "offsetVertical: 150.5\n"
            "offsetHorizontal: 2047\n"
            "coefficientVertical: 0.1\n"
            "coefficientHorizontal: 1\n"
            "sampleCount: 1234\n"
            "repetitionCount: 3\n"
            "startTime: 14.11.2023 22:13:20\n"
            "testKind: force\n");
}

TEST_F(InfoCommand, ControlAndBidirectionalCharactersFromTheFileAreEscaped) {
  // One-byte strings are Windows-1252, whose undefined bytes are the C1 controls; wide strings may hold
  // anything, the bidirectional overrides included.
  auto store = std::make_unique<MeasurementStore>();
  SubjectInfo subject{
      "Eve\xE2\x80\xAE"
      "cod.exe",
      0,
      30,
      64,
      171,
      "PLACEHOLDER",
      "",
      "a\xE2\x81\xA6"
      "b\xC2\x85"
      "c"};
  std::string bytes = encodeMeasurement(*store, subject);
  const std::string placeholder = "\x0BPLACEHOLDER";  // written as a one-byte string
  const size_t at = bytes.find(placeholder);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, placeholder.size(),
                "\x05"
                "A\x81"
                "B\x9D"
                "C");
  const std::string path = dir_.file("eve.vkr");
  velkora::testing::writeFile(path, bytes);
  const CliResult r = run({"info", path});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out.find("name: Eve\\u202Ecod.exe\n"), 0u) << r.out;
  EXPECT_NE(r.out.find("\ncomment1: A\\u0081B\\u009DC\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\ncomment3: a\\u2066b\\u0085c\n"), std::string::npos) << r.out;
}

TEST_F(InfoCommand, KindFollowsTheExtensionUnlessOverridden) {
  const std::string power = makeFile("jump.tsr");
  const std::string force = makeFile("b.vkr");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"info", power}, "power"},
      {{"info", power, "--kind", "force"}, "force"},
      {{"info", "--kind=power", force}, "power"},
  };
  for (const auto& [args, kind] : cases) {
    const CliResult r = run(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("\ntestKind: " + kind + "\n"), std::string::npos) << r.out;
  }
}

TEST_F(InfoCommand, UsageErrorsAndLoadFailures) {
  const std::string good = makeFile("c.vkr");
  velkora::testing::writeFile(dir_.file("bad.vkr"), "\x0CVelkora_V1.0");
  const struct {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
      {{"info"}, kExitUsage, ""},
      {{"info", good, good}, kExitUsage, ""},
      {{"info", good, "--kind"}, kExitUsage, ""},
      {{"info", good, "--kind", "jump"}, kExitUsage, ""},
      {{"info", good, "--verbose"}, kExitUsage, ""},
      {{"info", dir_.file("missing.vkr")},
       kExitFailure,
       "Error opening file\n" + dir_.file("missing.vkr") + ": No such file or directory\n"},
      {{"info", dir_.path().string()},
       kExitFailure,
       "Error opening file\n" + dir_.path().string() + ": Is a directory\n"},
      {{"info", dir_.file("bad.vkr")}, kExitFailure, "Incompatible data\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliResult r = run(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.out, "");
    if (c.code == kExitFailure)
      EXPECT_EQ(r.err, c.err);
    else
      EXPECT_NE(r.err, "");
  }
}

TEST(CliFiles, TestKindForPath) {
  EXPECT_EQ(testKindForPath("/data/x.tsr"), TestKind::Power);
  EXPECT_EQ(testKindForPath("X.TSR"), TestKind::Power) << "in any letter case";
  EXPECT_EQ(testKindForPath("x.TsR"), TestKind::Power);
  EXPECT_EQ(testKindForPath("x.tsq"), TestKind::Force);
  EXPECT_EQ(testKindForPath(".TSR"), TestKind::Power);
  EXPECT_EQ(testKindForPath("x.vkr"), TestKind::Force);
  EXPECT_EQ(testKindForPath("tsr"), TestKind::Force);
  EXPECT_EQ(testKindForPath("x.tsr.bak"), TestKind::Force);
}

}  // namespace
}  // namespace velkora::cli
