#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/messages.h"
#include "cli/cli_command.h"
#include "reports/jump_analysis.h"
#include "storage/measurement_file.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

extern char** environ;

namespace velkora::cli {
namespace {

using velkora::testing::TempDir;

using velkora::testing::CliResult;

CliResult record(std::vector<std::string> args) {
  args.insert(args.begin(), "record");
  CliResult result = velkora::testing::runCommandLine(args);
  EXPECT_EQ(result.out, "") << "progress and messages go to stderr";
  return result;
}

// The saved file, read back by the program's own loader.
std::unique_ptr<MeasurementStore> load(const std::string& path, TestKind kind) {
  auto store = std::make_unique<MeasurementStore>();
  SubjectInfo subject;
  CollectingMessageSink messages;
  EXPECT_TRUE(loadMeasurement(path, kind, *store, subject, messages)) << path;
  return store;
}

TEST(RecordCommand, ForceTestsInTimeAndRepetitionMode) {
  TempDir dir;
  CliResult r =
      record({"--force-time", "2", "--output", dir.file("t.vkr"), "--simulate=pushes:3:900:300:120:500,fast"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  auto timed = load(dir.file("t.vkr"), TestKind::Force);
  EXPECT_EQ(timed->sampleCount.load(), 2000);
  // Waiting for the default start force (20 N): the first stored sample is already part of a push.
  EXPECT_GT(timed->channels.vertical[0], 20);

  r = record({"--force-reps=3", "--start-force=50", "--output=" + dir.file("r.vkr"),
              "--simulate=pushes:3:900:300:120:500,fast"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find("3 repetitions"), std::string::npos) << r.err;
  auto reps = load(dir.file("r.vkr"), TestKind::Force);
  ASSERT_EQ(reps->repetitions.count.load(), 3);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(reps->repetitions.peakVertical[k], 900, 1);
    EXPECT_NEAR(reps->repetitions.peakHorizontal[k], 120, 1);
  }
}

TEST(RecordCommand, PowerTestWeighsSmoothsAndAnalysesTheJump) {
  TempDir dir;
  const CliResult r = record({"--power", "5", "--simulate=jump:80:450,fast", "--output", dir.file("j.tsr")});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_NE(r.err.find("body weight: 80.0 kg"), std::string::npos) << r.err;
  auto jump = load(dir.file("j.tsr"), TestKind::Power);
  EXPECT_EQ(jump->sampleCount.load(), 5000);
  EXPECT_NEAR(jump->bodyWeight, 80.0f, 0.1f);
  const JumpHeights h = computeJumpHeights(*jump, jump->bodyWeight);
  EXPECT_NEAR(h.flightTime, 450, 2);
  // Both heights agree when the recorded impulse is physical: h = g t^2 / 8 = 24.8 cm.
  EXPECT_NEAR(h.heightByFlightTime, 24.8f, 0.3f);
  EXPECT_NEAR(h.heightByImpulse * 100.0f, h.heightByFlightTime, 0.5f);
  // The saved vertical channel is the smoothed one: three frames of the steep take-off averaged.
  const int32_t last = h.takeOffIndex - 1;
  EXPECT_LT(jump->channels.vertical[last], 50) << "unsmoothed it is at least 59 N";
}

TEST(RecordCommand, AbsentOrLostPlate) {
  TempDir dir;
  CliResult r = record({"--force-time", "2", "--simulate=absent", "--output", dir.file("a.vkr")});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find(msg::kErrorInCommunication), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.vkr")));

  r = record({"--power", "3", "--simulate=absent", "--output", dir.file("a.tsr")});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.tsr")));

  // The plate goes away after 700 frames: the message, and what was recorded is saved.
  r = record({"--force-time", "5", "--start-force", "0", "--simulate=unplug:700,fast", "--output", dir.file("l.vkr")});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find(msg::kErrorInCommunication), std::string::npos);
  EXPECT_EQ(load(dir.file("l.vkr"), TestKind::Force)->sampleCount.load(), 699)
      << "the frame that reached the start force is not stored";

  // A plate lost during the weighing: nothing to save.
  r = record({"--power", "3", "--simulate=unplug:1000,fast", "--output", dir.file("w.tsr")});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_FALSE(std::filesystem::exists(dir.file("w.tsr")));
}

TEST(RecordCommand, ConfigurationCutShortKeepsDefaultsAndUnwritableOutputFailsBeforeRecording) {
  TempDir dir;
  // A configuration file cut after the port block: the calibration keeps its defaults, as at the
  // program's start, and the test is recorded.
  std::string config = "Velkora_V1.0";
  config.append("\x00\x00\x00\x00\x00\x00", 6);
  velkora::testing::writeFile(dir.file("short.cfg"), config);
  CliResult r = record({"--force-time", "1", "--start-force", "0", "--config", dir.file("short.cfg"),
                        "--simulate=stand,fast", "--output", dir.file("c.vkr")});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(load(dir.file("c.vkr"), TestKind::Force)->sampleCount.load(), 1000);

  // A folder that does not exist is found out before the subject steps on the plate.
  r = record({"--force-time", "1", "--simulate=stand", "--output", dir.file("missing/x.vkr")});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(r.err.find("recording"), std::string::npos) << r.err;
}

TEST(RecordCommand, RefusesWrongCommandLines) {
  const std::vector<std::vector<std::string>> wrong = {
      {"--output", "x.vkr", "--simulate"},  // no test
      {"--force-time", "2", "--power", "3", "--output", "x"},
      {"--force-time", "0", "--output", "x"},
      {"--force-time", "61", "--output", "x"},
      {"--force-reps", "26", "--output", "x"},
      {"--power", "62", "--output", "x"},
      {"--force-time", "2"},  // no output
      {"--force-time", "2", "--output"},
      {"--power", "2", "--start-force", "10", "--output", "x"},
      {"--force-time", "2", "--start-force", "6001", "--output", "x"},
      {"--force-time", "2", "--port", "6", "--output", "x"},
      {"--force-time", "2", "--simulate=stand:abc", "--output", "x"},
      {"--force-time", "2", "--output", "x", "extra"},
  };
  for (const auto& args : wrong) {
    const CliResult r = record(args);
    EXPECT_EQ(r.code, kExitUsage) << ::testing::PrintToString(args);
    EXPECT_FALSE(r.err.empty());
  }
}

// Ctrl+C in a real run: the program stops like STOP and saves what it has.
TEST(RecordCommand, InterruptStopsAndSaves) {
  TempDir dir;
  const std::string output = dir.file("i.vkr");
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<std::string> args = {VELKORA_CLI_PATH, "record", "--force-time",       "60", "--start-force", "0",
                                   "--output",       output,   "--simulate=stand:70"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, VELKORA_CLI_PATH, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);

  // Interrupt only once the recording runs (the handler is in place by then).
  std::string err;
  char buffer[256];
  while (err.find("recording") == std::string::npos) {
    const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    err.append(buffer, static_cast<size_t>(n));
  }
  ASSERT_NE(err.find("recording"), std::string::npos) << err;
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) err.append(buffer, static_cast<size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by the interrupt instead of stopping: " << err;
  EXPECT_EQ(WEXITSTATUS(status), kExitOk) << err;
  auto stopped = load(output, TestKind::Force);
  EXPECT_GT(stopped->sampleCount.load(), 100);
  EXPECT_LT(stopped->sampleCount.load(), 60000);
  EXPECT_NEAR(stopped->channels.vertical[50], 70 * 9.81, 8);
}

}  // namespace
}  // namespace velkora::cli
