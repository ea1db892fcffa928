#include <gtest/gtest.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <filesystem>
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

CliResult run(const std::vector<std::string>& args) { return velkora::testing::runCommandLine(args); }

// A force file of `n` samples of 100 N.
std::string makeFile(const TempDir& dir, const std::string& name, int32_t n = 30) {
  auto store = std::make_unique<MeasurementStore>();
  for (int32_t i = 0; i < n; ++i) store->channels.vertical[i] = 100;
  store->sampleCount = n;
  const std::string path = dir.file(name);
  velkora::testing::writeFile(path, encodeMeasurement(*store, SubjectInfo{}));
  return path;
}

TEST(CliParsing, EveryCommandsHelpListsEveryOption) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
      {"decode", {"--offsets V,H"}},
      {"export-csv",
       {"FILE", "--report digital|repetition", "--interval K", "--separator C", "--output PATH", "--kind force|power"}},
      {"info", {"FILE", "--kind force|power"}},
      {"jump", {"FILE", "--body-weight KG"}},
      {"library", {"--library LOCATION", "scan", "subjects", "tests", "trend", "compare", "sync"}},
      {"metrics", {"FILE", "--csv", "--kind force|power"}},
      {"readouts", {"FILE", "--xl A", "--xr B", "--y1 P", "--y2 P", "--kind force|power"}},
      {"record",
       {"--force-time SECONDS", "--force-reps COUNT", "--power SECONDS", "--output PATH", "--start-force N", "--port N",
        "--config PATH", "--simulate [=SCENARIO]", "--library LOCATION"}},
      {"report", {"REPORT", "FILE", "--interval K", "--kind force|power"}},
      {"samples", {"FILE", "--kind force|power"}},
  };
  const CliResult all = run({"--help"});
  EXPECT_EQ(all.code, kExitOk);
  EXPECT_EQ(all.err, "");
  ASSERT_EQ(registeredCommands().size(), commands.size());
  for (const auto& [command, options] : commands) {
    SCOPED_TRACE(command);
    EXPECT_NE(all.out.find("\n  " + command + " "), std::string::npos) << all.out;
    for (const std::string& help : {std::string("--help"), std::string("-h")}) {
      const CliResult r = run({command, help});
      EXPECT_EQ(r.code, kExitOk);
      EXPECT_EQ(r.err, "");
      EXPECT_NE(r.out.find("Usage: velkora-cli " + command), std::string::npos) << r.out;
      for (const std::string& option : options) EXPECT_NE(r.out.find(option), std::string::npos) << option;
    }
  }
  EXPECT_EQ(run({"help"}).out, all.out);
  const CliResult none = run({});
  EXPECT_EQ(none.code, kExitUsage);
  EXPECT_EQ(none.err, all.out) << "without a command the help goes to stderr";
}

TEST(CliParsing, WrongCommandLinesNameTheOption) {
  const struct {
    std::vector<std::string> args;
    std::string named;
  } cases[] = {
      {{"record", "--force-time", "2", "--output", "x.vkr", "--start-force"}, "--start-force"},
      {{"record", "--force-time", "2", "--output"}, "--output"},
      {{"record", "--output", "x.vkr", "--force-reps"}, "--force-reps"},
      {{"record", "--force-time", "2", "--output", "x.vkr", "--colour", "red"}, "--colour"},
      {{"record", "--force-time", "2"}, "--output"},
      {{"record", "--output", "x.vkr"}, "--force-time"},
      {{"record", "--force-time", "2", "--output", "x.vkr", "--port", "0"}, "--port"},
      {{"record", "--force-time", "2", "--output", "x.vkr", "--simulate=weird"}, "--simulate"},
      {{"info", "a.vkr", "--kind"}, "--kind"},
      {{"info", "a.vkr", "--verbose"}, "--verbose"},
      {{"info"}, "FILE"},
      {{"report", "digital", "a.vkr", "--interval"}, "--interval"},
      {{"report", "weekly", "a.vkr"}, "REPORT"},
      {{"export-csv", "a.vkr", "--separator"}, "--separator"},
      {{"export-csv", "a.vkr", "--output", ""}, "--output"},
      {{"decode", "--offsets"}, "--offsets"},
      {{"jump", "a.vkr", "--body-weight"}, "--body-weight"},
      {{"samples", "a.vkr", "--bogus"}, "--bogus"},
      {{"metrics"}, "FILE"},
      {{"metrics", "--csv", "a.tsr", "--kind", "jump"}, "--kind"},
      {{"metrics", "a.tsr", "--tsv"}, "--tsv"},
      {{"unknown-command"}, "unknown-command"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliResult r = run(c.args);
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("velkora-cli"), 0u) << r.err;
    EXPECT_EQ(r.err.back(), '\n');
    // metrics gives its usage line after the message; the other commands keep their one line.
    EXPECT_EQ(r.err.find("\nUsage: velkora-cli " + c.args[0]) != std::string::npos, c.args[0] == "metrics") << r.err;
  }
}

// Every option that takes a value, given last without one, is named with what it lacks.
TEST(CliParsing, AnOptionWithoutItsValueNeedsAValue) {
  int checked = 0;
  for (const CliCommandInfo& info : registeredCommands()) {
    CLI::App app;
    CLI::App* command = app.add_subcommand(std::string(info.name));
    const std::unique_ptr<CliCommand> defined = info.make();
    defined->define(*command);
    for (const CLI::Option* option : command->get_options()) {
      if (option->get_lnames().empty() || option->get_expected_min() < 1) continue;
      const std::string name = "--" + option->get_lnames().front();
      SCOPED_TRACE(std::string(info.name) + " " + name);
      const CliResult r = run({std::string(info.name), name});
      EXPECT_EQ(r.code, kExitUsage);
      const std::string message = "velkora-cli " + std::string(info.name) + ": " + name + " needs a value\n";
      EXPECT_EQ(r.err.substr(0, info.usageAfterError ? message.size() : std::string::npos), message);
      ++checked;
    }
  }
  EXPECT_GE(checked, 20) << "every value option of every command, the record command's tests among them";
}

TEST(CliParsing, NumbersAreDecimalWithAnOptionalPlusAndTheLastRepeatCounts) {
  TempDir dir;
  const std::string path = makeFile(dir, "a.vkr");
  // "010" is ten, never octal eight; "+5" is five; hexadecimal and spaces are no numbers.
  CliResult r = run({"report", "digital", path, "--interval", "010"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("\r\n       1 -      10 "), std::string::npos) << r.out;
  r = run({"report", "digital", path, "--interval=+15", "--interval", "5"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.out.find("\r\n       1 -       5 "), std::string::npos) << r.out;
  for (const char* bad : {"0x10", " 5", "5 ", "1e1", "2147483648", ""}) {
    r = run({"report", "digital", path, "--interval", bad});
    EXPECT_EQ(r.code, kExitUsage) << bad;
    EXPECT_NE(r.err.find("--interval"), std::string::npos) << bad;
  }
  r = run({"decode", "--offsets", "-5,+3"});
  EXPECT_EQ(r.code, kExitOk) << r.err;
}

TEST(CliFileErrors, PathAndReasonFollowTheProgramsMessage) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo.vkr").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {dir.file("missing.vkr"), "No such file or directory"},
      {dir.path().string(), "Is a directory"},
      {dir.file("fifo.vkr"), "not a regular file"},  // refused at once, not waited on
      {"/dev/zero", "not a regular file"},
      {dir.file("missing/x.vkr"), "No such file or directory"},
  };
  for (const std::string command : {"info", "report", "export-csv", "samples", "jump"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(command + " " + c.path);
      std::vector<std::string> args{command};
      if (command == "report") args.push_back("digital");
      args.push_back(c.path);
      const auto start = std::chrono::steady_clock::now();
      const CliResult r = run(args);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
      EXPECT_EQ(r.code, kExitFailure);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "Error opening file\n" + c.path + ": " + c.reason + "\n");
    }
  }
}

TEST(CliFileErrors, ExportNeverWritesOverTheFileItReads) {
  TempDir dir;
  const std::string path = makeFile(dir, "a.vkr");
  const std::string original = velkora::testing::readFile(path);
  std::filesystem::create_symlink("a.vkr", dir.path() / "link.csv");
  std::filesystem::create_hard_link(path, dir.path() / "hard.csv");
  for (const std::string& output :
       {path, dir.file("./a.vkr"), dir.file("link.csv"), dir.file("hard.csv"), dir.file("sub/../a.vkr")}) {
    SCOPED_TRACE(output);
    std::filesystem::create_directories(dir.path() / "sub");
    const CliResult r = run({"export-csv", path, "--output", output});
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("is the file"), std::string::npos) << r.err;
    EXPECT_EQ(velkora::testing::readFile(path), original);
  }
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.csv")));
  // Another name beside it is fine.
  const CliResult r = run({"export-csv", path, "--output", dir.file("a.csv")});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(velkora::testing::readFile(path), original);
}

TEST(CliFileErrors, PowerFilesEndInTsrInAnyLetterCase) {
  TempDir dir;
  for (const auto& [name, kind] : std::vector<std::pair<std::string, std::string>>{
           {"a.tsr", "power"}, {"b.TSR", "power"}, {"c.Tsr", "power"}, {"d.vkr", "force"}, {"e.tsrx", "force"}}) {
    const CliResult r = run({"info", makeFile(dir, name)});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("\ntestKind: " + kind + "\n"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace velkora::cli
