#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "reports/test_metrics.h"
#include "storage/measurement_file.h"
#include "support/cli_runner.h"
#include "support/designed_jump.h"
#include "support/temp_dir.h"

namespace velkora::cli {
namespace {

using velkora::testing::CliResult;
using velkora::testing::TempDir;

CliResult run(const std::vector<std::string>& args) { return velkora::testing::runCommandLine(args); }

std::string writeStore(const TempDir& dir, const std::string& name, const MeasurementStore& store) {
  const std::string path = dir.file(name);
  velkora::testing::writeFile(path, encodeMeasurement(store, SubjectInfo{"Ana", 1, 0, 80, 180, "", "", ""}));
  return path;
}

// "key: value" lines of one block.
std::map<std::string, std::string> block(const std::string& text) {
  std::map<std::string, std::string> values;
  size_t from = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', from)) {
    const std::string line = text.substr(from, end - from);
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) values[line.substr(0, colon)] = line.substr(colon + 2);
    from = end + 1;
  }
  return values;
}

double number(const std::map<std::string, std::string>& values, const std::string& key) {
  const auto it = values.find(key);
  if (it == values.end() || it->second == "n/a") {
    ADD_FAILURE() << key << " has no value";
    return NAN;
  }
  return std::stod(it->second);
}

TEST(MetricsCommand, DesignedJumpThroughTheFileFormat) {
  // A countermovement jump of known motion, written as a measurement file and read back by the command.
  TempDir dir;
  const velkora::testing::DesignedJump design;
  const velkora::testing::JumpTruth truth = velkora::testing::jumpTruth(design);
  const std::string path = writeStore(dir, "cmj.tsr", *velkora::testing::designedStore(design));
  const CliResult r = run({"metrics", path});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");
  const auto values = block(r.out);
  EXPECT_EQ(r.out.substr(0, r.out.find("sampleCount")), "file: " + path + "\nkind: power\n");
  EXPECT_EQ(values.at("jumpType"), "CMJ");
  EXPECT_NEAR(number(values, "jumpHeightTakeoffVelocity_cm"), truth.heightCm, 0.3);
  EXPECT_NEAR(number(values, "flightTime_ms"), truth.flightMs, 2.0);
  EXPECT_NEAR(number(values, "onsetIndex"), truth.onset, 2.0);
  EXPECT_NEAR(number(values, "brakingStartIndex"), truth.brakingStart, 2.0);
  EXPECT_NEAR(number(values, "propulsionStartIndex"), truth.propulsionStart, 2.0);
  EXPECT_NEAR(number(values, "takeoffIndex"), truth.takeoff, 2.0);
  EXPECT_NEAR(number(values, "touchdownIndex"), truth.touchdown, 2.0);
  EXPECT_NEAR(number(values, "countermovementDepth_cm"), 100 * design.depth, 0.3);
  EXPECT_NEAR(number(values, "bodyMass_kg"), design.mass, 0.05);
  // Impulses are momentum: the braking one stops the fall, the propulsive one gives the take-off speed.
  const double fall = design.depth * velkora::testing::kPi / (2 * design.unweighting);
  EXPECT_NEAR(number(values, "brakingImpulse_Ns"), design.mass * fall, 1.0);
  EXPECT_NEAR(number(values, "propulsiveImpulse_Ns"), design.mass * design.takeoffVelocity, 1.0);
  EXPECT_NEAR(number(values, "rsiModified_m_s"), truth.heightCm / 100 / ((truth.takeoff - truth.onset) / 1000.0),
              0.005);
  EXPECT_EQ(values.at("contactIndex"), "n/a");
  EXPECT_EQ(values.at("reactiveStrengthIndex_m_s"), "n/a");
  EXPECT_EQ(values.size(), 2 + powerMetricKeys().size());
}

TEST(MetricsCommand, BatchWithAFailingFileQuotedPathsAndAnyLocale) {
  TempDir dir;
  const std::string jump = writeStore(dir, "squad, \"A\".tsr", *velkora::testing::designedStore({}));
  auto force = std::make_unique<MeasurementStore>();
  for (int32_t i = 0; i < 600; ++i) force->channels.vertical[i] = i >= 100 && i < 500 ? 300 : 0;
  force->sampleCount = 600;
  const std::string forceFile = writeStore(dir, "force.vkr", *force);
  const std::string missing = dir.file("missing.vkr");
  velkora::testing::writeFile(dir.file("junk.tsr"), "not a measurement");

  const std::string junkMessage = "An attempt was made to access " + dir.file("junk.tsr") + " past its end.";
  const std::vector<std::string> files = {jump, missing, forceFile, dir.file("junk.tsr")};
  std::vector<std::string> textArgs = {"metrics"}, csvArgs = {"metrics", "--csv"};
  textArgs.insert(textArgs.end(), files.begin(), files.end());
  csvArgs.insert(csvArgs.end(), files.begin(), files.end());
  const CliResult text = run(textArgs);
  const CliResult csv = run(csvArgs);

  // The failures are reported, in the output and on stderr, and the good files are still analysed.
  for (const CliResult* r : {&text, &csv}) {
    EXPECT_EQ(r->code, kExitFailure);
    EXPECT_EQ(r->err, "Error opening file\n" + missing + ": No such file or directory\n" + junkMessage + "\n");
  }
  std::vector<std::string> blocks;
  for (size_t from = 0, at = 0; at != std::string::npos; from = at + 2) {
    at = text.out.find("\n\n", from);
    blocks.push_back(text.out.substr(from, at == std::string::npos ? at : at + 1 - from));
  }
  ASSERT_EQ(blocks.size(), 4u) << text.out;
  EXPECT_EQ(block(blocks[0]).at("jumpType"), "CMJ");
  EXPECT_EQ(blocks[1], "file: " + missing + "\nerror: Error opening file\n");
  EXPECT_EQ(block(blocks[2]).at("kind"), "force");
  EXPECT_EQ(block(blocks[2]).at("repetitionCount"), "1");
  EXPECT_EQ(block(blocks[2]).at("rep1.onsetIndex"), "100");
  EXPECT_EQ(block(blocks[2]).at("rep1.impulse0to300_Ns"), "90.00");
  EXPECT_EQ(blocks[3], "file: " + dir.file("junk.tsr") + "\nerror: " + junkMessage + "\n");

  // One header and one row per file; a path with a comma and quotes is one quoted cell.
  std::vector<std::string> rows;
  for (size_t from = 0, at = csv.out.find('\n'); at != std::string::npos; from = at + 1, at = csv.out.find('\n', from))
    rows.push_back(csv.out.substr(from, at - from));
  ASSERT_EQ(rows.size(), 5u) << csv.out;
  const size_t columns = 2 + powerMetricKeys().size() + forceMetricKeys().size();
  EXPECT_EQ(rows[0].substr(0, 41), "file,kind,power.sampleCount,power.storedB");
  EXPECT_NE(rows[0].find(",power.peakLandingForce_N,force.sampleCount,"), std::string::npos);
  const std::string quoted = "\"" + dir.file("squad, \"\"A\"\".tsr") + "\"";
  EXPECT_EQ(rows[1].substr(0, quoted.size() + 12), quoted + ",power,5000,");
  std::string failed = missing + ",error";
  for (size_t c = 2; c < columns; ++c) failed += ",n/a";
  EXPECT_EQ(rows[2], failed);
  for (size_t r = 0; r < rows.size(); ++r) {
    const std::string& row = rows[r];
    size_t commas = 0;
    for (char c : r == 1 ? row.substr(quoted.size()) : row) commas += c == ',';
    EXPECT_EQ(commas, columns - 1) << row;
  }
  EXPECT_EQ(rows[3].substr(0, forceFile.size() + 14), forceFile + ",force,n/a,n/a");
  EXPECT_TRUE(rows[3].ends_with(",n/a,600,1,1,300.0,0,0,0,0,0,30.00,60.00,90.00,300.0,300.0,300.0")) << rows[3];

  // The same bytes under a decimal-comma locale.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not available";
  const CliResult textComma = run(textArgs);
  const CliResult csvComma = run(csvArgs);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(textComma.out, text.out);
  EXPECT_EQ(csvComma.out, csv.out);
}

}  // namespace
}  // namespace velkora::cli
