#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "storage/measurement_file.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace velkora::cli {
namespace {

using velkora::testing::CliResult;
using velkora::testing::TempDir;

CliResult readouts(const std::string& path, std::vector<std::string> args = {}) {
  args.insert(args.begin(), {"readouts", path});
  return velkora::testing::runCommandLine(args);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class ReadoutsCommand : public ::testing::Test {
 protected:
  void TearDown() override { std::setlocale(LC_NUMERIC, "C"); }

  // 3000 samples with vertical coefficient 1 and horizontal 0.5: 100 N for 1 s, 3000 N for 1 s, -50 N
  // for 1 s, always 20 N horizontally. The spare sample 3000 past the data reads 0.
  std::string forceFile(const std::string& name, int32_t samples = 3000) {
    auto store = std::make_unique<MeasurementStore>();
    for (int32_t i = 0; i < samples; ++i) {
      store->channels.vertical[i] = i < 1000 ? 100 : i < 2000 ? 3000 : -50;
      store->channels.horizontal[i] = 40;
    }
    store->channels.vertical[samples] = 0;  // the store's buffers start uninitialised
    store->channels.horizontal[samples] = 0;
    store->sampleCount = samples;
    store->calibration = {148.0f, 2048.0f, 1.0f, 0.5f};
    store->bodyWeight = 80.0f;
    const std::string path = dir_.file(name);
    velkora::testing::writeFile(path, encodeMeasurement(*store, SubjectInfo{"Ana", 1, 0, 80, 180, "", "", ""}));
    return path;
  }

  TempDir dir_;
};

TEST_F(ReadoutsCommand, PrintsTheElevenTextsAsDrawn) {
  const std::string file = forceFile("known.vkr");
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  } cases[] = {
      // What the program shows after opening the file: XL 0, XR on the spare sample, F vertical and F horizontal.
      {{},
       {"XL: 0", "diff X: 3000", "XR: 3000", "Y1L:   100.0", "int Y1:  3050.0", "avr Y1:  1016.3", "Y1R:     0.0",
        "Y2L:    20.0", "int Y2:    60.0", "avr Y2:    20.0", "Y2R:     0.0"}},
      {{"--xl", "999", "--xr=1001"},
       {"XL: 999", "diff X: 2", "XR: 1001", "Y1L:   100.0", "int Y1:     6.1", "avr Y1:  2033.3", "Y1R:  3000.0",
        "Y2L:    20.0", "int Y2:     0.1", "avr Y2:    20.0", "Y2R:    20.0"}},
      // F vector of (-50, 20) is 53.85 N; the values are never clamped to the axes.
      {{"--y1", "2", "--y2", "0", "--xl", "2000", "--xr", "2999"},
       {"XL: 2000", "diff X: 999", "XR: 2999", "Y1L:    53.9", "int Y1:    53.9", "avr Y1:    53.9", "Y1R:    53.9",
        "Y2L:   -50.0", "int Y2:   -50.0", "avr Y2:   -50.0", "Y2R:   -50.0"}},
      // Only XR: XL stays at 0.
      {{"--xr", "1"},
       {"XL: 0", "diff X: 1", "XR: 1", "Y1L:   100.0", "int Y1:     0.2", "avr Y1:   100.0", "Y1R:   100.0",
        "Y2L:    20.0", "int Y2:     0.0", "avr Y2:    20.0", "Y2R:    20.0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliResult r = readouts(file, c.args);
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, joined(c.lines));
    EXPECT_EQ(r.err, "");
  }

  // The decimal mark of the locale, as on the screen.
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr) << "the de_DE.UTF-8 locale is needed";
  const CliResult comma = readouts(file);
  EXPECT_EQ(comma.out,
            joined({"XL: 0", "diff X: 3000", "XR: 3000", "Y1L:   100,0", "int Y1:  3050,0", "avr Y1:  1016,3",
                    "Y1R:     0,0", "Y2L:    20,0", "int Y2:    60,0", "avr Y2:    20,0", "Y2R:     0,0"}));
}

TEST_F(ReadoutsCommand, PowerTestDefaultsToVelocityOnTheRightAxis) {
  // The same samples read as a power test: parameters 0 and 3 unless told otherwise.
  const std::string file = forceFile("jump.tsr");
  const CliResult defaults = readouts(file);
  const CliResult explicitVelocity = readouts(file, {"--y1", "0", "--y2", "3", "--xl", "0", "--xr", "3000"});
  const CliResult horizontal = readouts(file, {"--y2", "1"});
  ASSERT_EQ(defaults.code, kExitOk) << defaults.err;
  EXPECT_EQ(defaults.out, explicitVelocity.out);
  EXPECT_NE(defaults.out, horizontal.out);
  EXPECT_EQ(defaults.out.substr(0, 40), horizontal.out.substr(0, 40)) << "the cursors and Y1 are the same";
  // --kind force reads the .tsr as a force test: F horizontal again.
  EXPECT_EQ(readouts(file, {"--kind", "force"}).out, readouts(forceFile("same.vkr")).out);
}

TEST_F(ReadoutsCommand, CursorsOutsideTheRecordingOrOutOfOrderAreUsageErrors) {
  const std::string file = forceFile("known.vkr");
  const struct {
    std::vector<std::string> args;
    std::string named;  // the option the message must name
  } cases[] = {
      {{"--xl", "3000"}, "--xl 3000"},  // not below the default XR, the end
      {{"--xr", "3001"}, "--xr 3001"},
      {{"--xl", "3001", "--xr", "3000"}, "--xl 3001"},
      {{"--xl", "5", "--xr", "5"}, "--xl 5 must be below --xr 5"},
      {{"--xl", "6", "--xr", "5"}, "--xl 6 must be below --xr 5"},
      {{"--xr", "0"}, "--xr 0"},
      {{"--xl", "-1"}, "--xl"},
      {{"--xr", "61000"}, "--xr"},
      {{"--xl", "1.5"}, "--xl"},
      {{"--xl"}, "--xl"},
      {{"--y1", "6"}, "--y1"},
      {{"--y2", "-1"}, "--y2"},
      {{"--kind", "jump"}, "--kind"},
      {{"--x1", "3"}, "--x1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliResult r = readouts(file, c.args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(ReadoutsCommand, EmptyRecordingAndUnreadableFiles) {
  // A recording without samples shows the cursors at 0 as the program does; no cursor fits it.
  const std::string empty = forceFile("empty.vkr", 0);
  const CliResult r = readouts(empty);
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out.substr(0, 25), "XL: 0\ndiff X: 0\nXR: 0\nY1L");
  EXPECT_EQ(readouts(empty, {"--xr", "0"}).code, kExitUsage);

  const std::string missing = dir_.file("missing.vkr");
  const CliResult gone = readouts(missing);
  EXPECT_EQ(gone.code, kExitFailure);
  EXPECT_EQ(gone.err, "Error opening file\n" + missing + ": No such file or directory\n");
  EXPECT_EQ(gone.out, "");
}

}  // namespace
}  // namespace velkora::cli
