#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_command.h"
#include "model/messages.h"
#include "reports/jump_analysis.h"
#include "storage/configuration_file.h"
#include "storage/measurement_file.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

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
  EXPECT_TRUE(readMeasurementFile(path, kind, *store, subject, messages)) << path;
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

// A real velkora-cli process, its stderr read as it comes.
class Spawned {
 public:
  explicit Spawned(std::vector<std::string> args) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    args.insert(args.begin(), {VELKORA_CLI_PATH, "record"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, VELKORA_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    errFd_ = pipeFds[0];
  }
  ~Spawned() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (errFd_ >= 0) ::close(errFd_);
  }
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  const std::string& err() const { return err_; }
  // Reads stderr until `text` has appeared; false when the stream ended first.
  bool waitFor(const std::string& text) {
    while (err_.find(text) == std::string::npos)
      if (!readSome()) return false;
    return true;
  }
  // Stops reading stderr: the process's next write finds no reader.
  void closeErr() {
    ::close(errFd_);
    errFd_ = -1;
  }
  // Reads stderr to its end and reaps the process; returns its wait status.
  int finish() {
    while (errFd_ >= 0 && readSome()) {
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reaped_ = true;
    return status;
  }

 private:
  bool readSome() {
    char buffer[512];
    const ssize_t n = ::read(errFd_, buffer, sizeof buffer);
    if (n <= 0) return false;
    err_.append(buffer, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int errFd_ = -1;
  bool reaped_ = false;
  std::string err_;
};

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A good recording already at the path, to be kept whatever goes wrong.
std::string goodFile(const TempDir& dir, const std::string& name) {
  auto store = std::make_unique<MeasurementStore>();
  for (int32_t i = 0; i < 500; ++i) store->channels.vertical[i] = 700 + i;
  store->sampleCount = 500;
  const std::string path = dir.file(name);
  velkora::testing::writeFile(path, encodeMeasurement(*store, SubjectInfo{"Kept", 1, 0, 80, 180, "", "", ""}));
  return path;
}

TEST(RecordCommand, SilentPlateEndsTheTestWithinTwoSecondsAndKeepsTheEarlierFile) {
  TempDir dir;
  const std::string output = goodFile(dir, "good.vkr");
  const std::string before = velkora::testing::readFile(output);
  const std::vector<std::vector<std::string>> tests = {
      {"--force-time", "5", "--simulate=silent"},
      {"--force-reps", "3", "--simulate=silent"},
      {"--power", "5", "--simulate=stand/silent,fast"},  // silent after the weighing
  };
  for (std::vector<std::string> args : tests) {
    SCOPED_TRACE(::testing::PrintToString(args));
    args.insert(args.end(), {"--output", output});
    const auto start = std::chrono::steady_clock::now();
    const CliResult r = record(args);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find("recording"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::string(msg::kErrorInCommunication) + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no sample was recorded; nothing saved"), std::string::npos) << r.err;
    EXPECT_EQ(velkora::testing::readFile(output), before) << "an empty take never replaces a file";
  }
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"good.vkr"});
}

TEST(RecordCommand, InterruptBeforeTheStartForceSavesNothingAndExitsOne) {
  TempDir dir;
  const std::string output = goodFile(dir, "good.vkr");
  const std::string before = velkora::testing::readFile(output);
  Spawned cli({"--force-time", "60", "--start-force", "6000", "--output", output, "--simulate=stand:70"});
  ASSERT_TRUE(cli.started());
  ASSERT_TRUE(cli.waitFor("recording")) << cli.err();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(::kill(cli.pid(), SIGINT), 0);
  const int status = cli.finish();
  ASSERT_TRUE(WIFEXITED(status)) << cli.err();
  EXPECT_EQ(WEXITSTATUS(status), kExitFailure) << cli.err();
  EXPECT_NE(cli.err().find("nothing saved"), std::string::npos) << cli.err();
  EXPECT_EQ(velkora::testing::readFile(output), before);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"good.vkr"});
}

// SIGTERM (a shutdown, kill) and SIGHUP (the terminal closed) end the test as Ctrl+C does.
TEST(RecordCommand, TerminateAndHangUpStopAndSaveTheTake) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    TempDir dir;
    const std::string output = goodFile(dir, "take.vkr");
    Spawned cli({"--force-time", "60", "--start-force", "0", "--output", output, "--simulate=stand:70"});
    ASSERT_TRUE(cli.started());
    ASSERT_TRUE(cli.waitFor("recording")) << cli.err();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_EQ(::kill(cli.pid(), signal), 0);
    const int status = cli.finish();
    ASSERT_TRUE(WIFEXITED(status)) << "killed instead of stopping: " << cli.err();
    EXPECT_EQ(WEXITSTATUS(status), kExitOk) << cli.err();
    auto saved = load(output, TestKind::Force);
    EXPECT_GT(saved->sampleCount.load(), 100);
    EXPECT_LT(saved->sampleCount.load(), 60000);
    EXPECT_NEAR(saved->channels.vertical[50], 70 * 9.81, 8);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"take.vkr"}) << "no temporary file left";
  }
}

TEST(RecordCommand, ProgressIntoAPipeWhoseReaderHasGoneNeverEndsTheTest) {
  TempDir dir;
  const std::string output = dir.file("take.vkr");
  Spawned cli({"--force-time", "60", "--start-force", "0", "--output", output, "--simulate=stand:70"});
  ASSERT_TRUE(cli.started());
  ASSERT_TRUE(cli.waitFor("recording")) << cli.err();
  cli.closeErr();
  std::this_thread::sleep_for(std::chrono::milliseconds(1300));  // a progress line goes out every second
  ASSERT_EQ(::kill(cli.pid(), SIGINT), 0);
  const int status = cli.finish();
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), kExitOk);
  EXPECT_GT(load(output, TestKind::Force)->sampleCount.load(), 1000);
}

TEST(RecordCommand, SignalsDuringTheSaveLetItFinish) {
  TempDir dir;
  const std::string output = dir.file("take.vkr");
  Spawned cli({"--force-time", "60", "--start-force", "0", "--output", output, "--simulate=stand:70"});
  ASSERT_TRUE(cli.started());
  ASSERT_TRUE(cli.waitFor("recording")) << cli.err();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Signals keep coming through the stop and the save until the process is gone; only once the take
  // is saved may one of them end it.
  std::atomic<bool> done{false};
  std::thread sender([&] {
    while (!done.load() && ::kill(cli.pid(), SIGTERM) == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  });
  const int status = cli.finish();
  done = true;
  sender.join();
  EXPECT_NE(cli.err().find("saved "), std::string::npos) << cli.err();
  EXPECT_TRUE((WIFEXITED(status) && WEXITSTATUS(status) == kExitOk) ||
              (WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM))
      << status;
  EXPECT_GT(load(output, TestKind::Force)->sampleCount.load(), 100);
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"take.vkr"}) << "no temporary file left";
}

TEST(RecordCommand, OutputProblemsAreFoundBeforeTheTestStarts) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "folder");
  ASSERT_EQ(::mkfifo(dir.file("fifo.vkr").c_str(), 0600), 0);
  const struct {
    std::string output;
    std::string reason;
  } cases[] = {
      {dir.file("folder"), "Is a directory"},
      {dir.file(std::string(256, 'n')), "File name too long"},
      {dir.file("missing/x.vkr"), "No such file or directory"},
      {dir.file("fifo.vkr"), "not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.output);
    const auto start = std::chrono::steady_clock::now();
    const CliResult r = record({"--force-time", "1", "--start-force", "0", "--simulate=stand", "--output", c.output});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_NE(r.err.find(c.output + ": " + c.reason + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("recording"), std::string::npos) << r.err;
  }
  // The longest name the file system takes is saved: the temporary file's name is short.
  const std::string longest = dir.file(std::string(255, 'n'));
  const CliResult r = record({"--force-time", "1", "--start-force", "0", "--simulate=stand,fast", "--output", longest});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(load(longest, TestKind::Force)->sampleCount.load(), 1000);

  // A folder we cannot write and a file we may not replace, for a user without root's rights.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  std::filesystem::create_directory(dir.path() / "locked");
  const std::string readOnly = goodFile(dir, "readonly.vkr");
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  ASSERT_EQ(::chmod(dir.file("locked").c_str(), 0555), 0);
  for (const std::string& output : {dir.file("locked/x.vkr"), readOnly}) {
    SCOPED_TRACE(output);
    const int code = velkora::testing::runUnprivileged([&] {
      const CliResult denied =
          velkora::testing::runCommandLine({"record", "--force-time", "1", "--simulate=stand", "--output", output});
      if (denied.code != kExitFailure) return 1;
      if (denied.err.find(output + ": Permission denied\n") == std::string::npos) return 2;
      return denied.err.find("recording") == std::string::npos ? 0 : 3;
    });
    EXPECT_EQ(code, 0);
  }
  EXPECT_EQ(velkora::testing::readFile(readOnly), velkora::testing::readFile(goodFile(dir, "same.vkr")));
}

TEST(RecordCommand, ConfigurationThatCannotBeReadIsAnError) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo.cfg").c_str(), 0600), 0);
  const struct {
    std::string config;
    std::string reason;
  } cases[] = {
      {dir.file("velkroa.cfg"), "No such file or directory"},  // a typing error
      {dir.file("fifo.cfg"), "not a regular file"},
      {dir.path().string(), "Is a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    const auto start = std::chrono::steady_clock::now();
    const CliResult r = record({"--force-time", "1", "--start-force", "0", "--simulate=stand,fast", "--config",
                                c.config, "--output", dir.file("x.vkr")});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(r.code, kExitFailure);
    EXPECT_EQ(r.err, std::string(msg::kErrorOpeningFile) + "\n" + c.config + ": " + c.reason + "\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.vkr")));
  }

  // Nor is the configuration ever the output.
  const std::string config = dir.file("velkora.cfg");
  velkora::testing::writeFile(config, encodeConfiguration(AppSettings{}, CalibrationSet{}, GraphSettings{}));
  std::filesystem::create_symlink("velkora.cfg", dir.path() / "out.vkr");
  const CliResult r = record({"--force-time", "1", "--start-force", "0", "--simulate=stand,fast", "--config", config,
                              "--output", dir.file("out.vkr")});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("is the file"), std::string::npos) << r.err;
  EXPECT_EQ(velkora::testing::readFile(config), encodeConfiguration(AppSettings{}, CalibrationSet{}, GraphSettings{}));
}

// Offsets a configuration file may hold but no plate needs: the recording, the repetition sums, the
// body weight and the jump analysis stay defined (the sanitizer build stops at anything undefined).
TEST(RecordCommand, HostileCalibrationFromTheConfigurationStaysDefined) {
  TempDir dir;
  const struct {
    CalibrationSet calibration;
    std::vector<std::string> test;
    int32_t samples;
  } cases[] = {
      {{-1e30f, 1e30f, 1.0f, 1.0f}, {"--power", "1", "--simulate=stand:80/stand:80,fast"}, 1000},
      {{-1e6f, -2e6f, 1.0f, 1.0f}, {"--power", "1", "--simulate=stand:80/jump,fast"}, 1000},
      {{-2e6f, -1e6f, 1.0f, 1.0f}, {"--force-reps", "2", "--start-force", "0", "--simulate=stand,fast"}, kMaxSamples},
  };
  int index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.test));
    const std::string config = dir.file("hostile" + std::to_string(index) + ".cfg");
    const std::string output = dir.file("take" + std::to_string(index++) + ".vkr");
    velkora::testing::writeFile(config, encodeConfiguration(AppSettings{}, c.calibration, GraphSettings{}));
    std::vector<std::string> args = c.test;
    args.insert(args.end(), {"--config", config, "--output", output});
    const CliResult r = record(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.err.find("Warning - make new calibration!\n"), std::string::npos) << "the file's warnings stay";
    const size_t weightAt = r.err.find("body weight: ");
    if (weightAt != std::string::npos) {
      EXPECT_NE(r.err[weightAt + 13], '-') << r.err;
    }
    auto saved = load(output, c.test[0] == "--power" ? TestKind::Power : TestKind::Force);
    EXPECT_EQ(saved->sampleCount.load(), c.samples);
    EXPECT_GT(saved->channels.vertical[0], 900000) << "counts minus a negative offset, within 32 bits";
  }
}

// The test's rules are the program's: a configuration whose start force no test accepts starts
// nothing, unless the command line gives one.
TEST(RecordCommand, StartForceOutsideTheTestRulesIsRefusedBeforeRecording) {
  TempDir dir;
  AppSettings settings;
  settings.startForce = 6001;
  const std::string config = dir.file("strong.cfg");
  velkora::testing::writeFile(config, encodeConfiguration(settings, CalibrationSet{}, GraphSettings{}));
  CliResult r =
      record({"--force-time", "1", "--simulate=stand,fast", "--config", config, "--output", dir.file("a.vkr")});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_NE(r.err.find("start force of 6001 N is outside 0 to 6000; give one with --start-force"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("recording"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.vkr")));

  r = record({"--force-time", "1", "--start-force", "0", "--simulate=stand,fast", "--config", config, "--output",
              dir.file("b.vkr")});
  EXPECT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(load(dir.file("b.vkr"), TestKind::Force)->sampleCount.load(), 1000);
}

// --port reads the serial port, which the simulation never replaces: the weighing and the test of a
// simulated run fail there (no port, or one whose line stays silent), and nothing is saved.
TEST(RecordCommand, PortReadsTheSerialLineEvenUnderSimulation) {
  TempDir dir;
  for (const std::vector<std::string>& test : {std::vector<std::string>{"--force-time", "1", "--start-force", "0"},
                                               std::vector<std::string>{"--power", "1"}}) {
    SCOPED_TRACE(test[0]);
    std::vector<std::string> args = test;
    args.insert(args.end(), {"--simulate=stand,fast", "--output", dir.file("x.vkr")});
    const CliResult simulated = record(args);
    EXPECT_EQ(simulated.code, kExitOk) << simulated.err;
    std::filesystem::remove(dir.file("x.vkr"));

    args.insert(args.end(), {"--port", "5"});
    const CliResult serial = record(args);
    EXPECT_EQ(serial.code, kExitFailure);
    EXPECT_NE(serial.err.find(msg::kErrorInCommunication), std::string::npos) << serial.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.vkr")));
  }
}

}  // namespace
}  // namespace velkora::cli
