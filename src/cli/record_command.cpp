// velkora-cli record: runs a force or power test without a window and saves it as a measurement
// file, with the program's own plate, test session, weighing and file code, and adds it to the library
// (the default library file, or the one --library names) at once.

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "acquisition/exercise_limits.h"
#include "acquisition/plate_devices.h"
#include "acquisition/power_exercise.h"
#include "acquisition/simulation_option.h"
#include "app/exercise_use_cases.h"
#include "app/measurement_use_cases.h"
#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "cli/stop_signals.h"
#include "library/library_location.h"
#include "library/library_session.h"
#include "model/messages.h"
#include "storage/binary_io.h"
#include "storage/configuration_file.h"

namespace velkora::cli {
namespace {

using namespace std::chrono;

// Signals are looked for this often, between the ticks of the sessions.
constexpr auto kSignalPoll = milliseconds(10);
constexpr auto kProgressInterval = seconds(1);

enum class TestChoice { None, ForceTime, ForceReps, Power };

// Runs `tick` every `interval` until it says the session ended, and `progress` once a second, the way
// the window's timers drive the sessions. False when a stop signal came first.
template <typename Tick, typename Progress>
bool runTicks(milliseconds interval, Tick tick, Progress progress) {
  const auto start = steady_clock::now();
  auto nextTick = start + interval;
  auto nextReport = start + kProgressInterval;
  while (true) {
    if (StopSignals::requested()) return false;
    const auto now = steady_clock::now();
    if (now >= nextTick) {
      if (tick()) return true;
      nextTick += interval;
    }
    if (now >= nextReport) {
      progress();
      nextReport += kProgressInterval;
    }
    std::this_thread::sleep_for(kSignalPoll);
  }
}

class RecordCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override;
  int run(CliIo& io, SharedRecords& records) override;

 private:
  TestChoice test() const;
  // Reads the --config file into the plate's settings, with the program's messages; false after the
  // path and the reason when the file cannot be read.
  bool loadConfigFile(CliIo& io, SharedRecords& records) const;
  // The settings of the chosen test: the setup's, with the command line's test, start force and port.
  AppSettings testSettings(const AppSettings& setup) const;
  // Weighs the subject for a power test; the body weight, or nothing once the command has failed with
  // its message.
  std::optional<float> weighSubject(ProgramPlate& plate, const AppSettings& settings, CliIo& io) const;
  // Records the chosen test into the store; how it ended (a failed weighing or start ends the command
  // with `exitCode` instead).
  std::optional<TestEnd> record(CliIo& io, SharedRecords& records, int& exitCode);
  // Adds the saved file to the library; false when a library named by --library could not take it (the
  // default library's problems are only reported: the test was recorded and saved all the same).
  bool indexSavedFile(CliIo& io, const SharedRecords& records) const;

  CLI::Option* forceTime_ = nullptr;
  CLI::Option* forceReps_ = nullptr;
  CLI::Option* power_ = nullptr;
  CLI::Option* startForceOption_ = nullptr;
  CLI::Option* portOption_ = nullptr;
  CLI::Option* simulateOption_ = nullptr;
  CLI::Option* libraryOption_ = nullptr;
  std::string library_;
  int32_t value_ = 0;  // seconds or repetitions of the chosen test
  std::string output_;
  int32_t startForce_ = 0;
  int32_t port_ = 0;  // COMn, 1..5, when --port was given
  std::string config_;
  std::string scenario_;
};

// The scenario of --simulate, checked while the command line is parsed.
CLI::Validator scenarioCheck() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        SimulationPlan plan;
        std::string error;
        return parseSimulation(text, plan, error) ? "" : error;
      },
      "", "scenario");
}

void RecordCommand::define(CLI::App& command) {
  CLI::Option_group* tests = command.add_option_group("test", "the test to record, exactly one of");
  forceTime_ = tests->add_option("--force-time", value_, "a force test of SECONDS from the start force")
                   ->type_name("SECONDS")
                   ->transform(wholeNumber(kForceTestSeconds.min, kForceTestSeconds.max));
  forceReps_ = tests->add_option("--force-reps", value_, "a force test of COUNT repetitions from the start force")
                   ->type_name("COUNT")
                   ->transform(wholeNumber(kForceTestRepetitions.min, kForceTestRepetitions.max));
  power_ = tests->add_option("--power", value_, "a power test: the body weight, then SECONDS of the jump")
               ->type_name("SECONDS")
               ->transform(wholeNumber(kPowerTestSeconds.min, kPowerTestSeconds.max));
  tests->require_option(1);
  command.add_option("--output", output_, "the measurement file the test is saved to")
      ->required()
      ->type_name("PATH")
      ->check(nonEmpty());
  startForceOption_ = command.add_option("--start-force", startForce_, "start force in newtons (default: the setup's)")
                          ->type_name("N")
                          ->transform(wholeNumber(kStartForce.min, kStartForce.max));
  power_->excludes(startForceOption_);  // the power test records from the first frame
  portOption_ = command.add_option("--port", port_, "read the serial port COMn instead of the USB plate")
                    ->type_name("N")
                    ->transform(wholeNumber(1, kSerialPortCount));
  command.add_option("--config", config_, "take the plate's calibration and the setup from this configuration file")
      ->type_name("PATH")
      ->check(nonEmpty());
  simulateOption_ = command
                        .add_flag("--simulate{}", scenario_,
                                  "replace the USB plate by the simulated one, playing SCENARIO when given")
                        ->option_text("[=SCENARIO]")
                        ->check(scenarioCheck());
  libraryOption_ = command
                       .add_option("--library", library_,
                                   "add the test to this library: a file, or a server as postgresql://... or "
                                   "service=NAME (default: library.sqlite beside the DATA folder)")
                       ->type_name("LOCATION")
                       ->check(nonEmpty());
}

TestChoice RecordCommand::test() const {
  if (forceTime_->count() > 0) return TestChoice::ForceTime;
  if (forceReps_->count() > 0) return TestChoice::ForceReps;
  if (power_->count() > 0) return TestChoice::Power;
  return TestChoice::None;
}

bool RecordCommand::loadConfigFile(CliIo& io, SharedRecords& records) const {
  // The configuration's warnings are shown as at the program's start; a file that cannot be read is an
  // error here, because the user named it.
  CollectingMessageSink messages;
  std::error_code openError;
  loadConfiguration(config_, {records.app, records.calibration, records.graph}, messages, &openError);
  if (openError) {
    io.err << msg::kErrorOpeningFile << '\n';
    printFileReason(io.err, config_, openError);
    return false;
  }
  for (const std::string& message : messages.messages) io.err << message << '\n';
  return true;
}

int RecordCommand::run(CliIo& io, SharedRecords& records) {
  if (!config_.empty()) {
    if (outputIsInput("record", config_, output_, io) || !loadConfigFile(io, records)) return kExitFailure;
  }
  // Find out now, not after a minute of recording, that the file cannot be written.
  if (std::error_code reason; !checkFileReplaceable(output_, reason)) {
    io.err << "velkora-cli record: the test could not be saved there; nothing recorded\n";
    printFileReason(io.err, output_, reason);
    return kExitFailure;
  }

  // Ctrl+C, SIGTERM and SIGHUP stop the test as STOP does, until the take is saved.
  StopSignals stopSignals;
  int exitCode = kExitOk;
  const std::optional<TestEnd> end = record(io, records, exitCode);
  if (!end) return exitCode;

  MeasurementStore& store = records.store;
  StreamMessageSink messages(io.err);
  if (*end == TestEnd::Stopped) io.err << "stopped\n";
  if (*end == TestEnd::PlateLost) messages.showMessage(msg::kErrorInCommunication);
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  if (n == 0) {
    // An empty take never replaces a file, least of all a good one.
    io.err << "velkora-cli record: no sample was recorded; nothing saved\n";
    return kExitFailure;
  }
  std::error_code saveError;
  if (!saveMeasurement(records, output_, messages, &saveError)) {
    printFileReason(io.err, output_, saveError);
    return kExitFailure;
  }
  io.err << "saved " << n << " samples";
  if (test() == TestChoice::ForceReps) io.err << " and " << store.repetitions.rows() << " repetitions";
  io.err << " to " << output_ << '\n';
  const bool indexed = indexSavedFile(io, records);
  return *end == TestEnd::PlateLost || !indexed ? kExitFailure : kExitOk;
}

bool RecordCommand::indexSavedFile(CliIo& io, const SharedRecords& records) const {
  const bool named = libraryOption_->count() > 0;
  LibraryOptions options;
  options.location = named ? library_ : records.paths.libraryPath;
  if (options.location.empty()) return true;  // a program without places (tests in-process)
  options.outboxLocation = records.paths.libraryPath;
  std::error_code error;
  if (!records.paths.dataFolder.empty() && std::filesystem::is_directory(records.paths.dataFolder, error))
    options.rebuildFolders.push_back(records.paths.dataFolder);
  StreamMessageSink messages(io.err);
  LibraryStatus status;
  std::unique_ptr<LibrarySession> library = LibrarySession::open(options, messages, status);
  LibraryIndexResult result;
  if (library) {
    result = library->indexFile(output_);
    status = result.status;
  }
  const std::string where = withoutPassword(options.location);
  if (library && result.outcome == IndexOutcome::Queued) {
    io.err << "the library " << where << " cannot be reached; the test waits in the outbox of "
           << options.outboxLocation << " (" << testsWaitingText(library->outboxCount())
           << "): velkora-cli library sync sends it\n";
    return true;
  }
  if (library && status.ok() && result.outcome != IndexOutcome::Failed) {
    io.err << (result.outcome == IndexOutcome::Added     ? "added to the library "
               : result.outcome == IndexOutcome::Updated ? "updated in the library "
                                                         : "already in the library ")
           << where << '\n';
    return true;
  }
  const std::string reason = !status.ok() ? status.message : result.reason;
  io.err << "velkora-cli record: the test was saved, but not added to the library: " << reason << '\n';
  return !named;
}

AppSettings RecordCommand::testSettings(const AppSettings& setup) const {
  AppSettings settings = setup;
  if (portOption_->count() > 0) settings.portIndex = port_ - 1;
  switch (test()) {
    case TestChoice::ForceTime:
    case TestChoice::ForceReps:
      settings.forceTestMode = test() == TestChoice::ForceReps ? kRepetitionMode : kTimeMode;
      settings.forceTestValue = value_;
      if (startForceOption_->count() > 0) settings.startForce = startForce_;
      break;
    case TestChoice::Power:
      settings.powerTestTime = value_;
      break;
    case TestChoice::None:
      break;
  }
  return settings;
}

std::optional<float> RecordCommand::weighSubject(ProgramPlate& plate, const AppSettings& settings, CliIo& io) const {
  StreamMessageSink messages(io.err);
  WeighingSession& weighing = plate.weighing();
  weighing.open();
  if (!weigh(plate, settings)) {
    messages.showMessage(msg::kErrorInCommunication);
    return std::nullopt;
  }
  io.err << "weighing: stand still on the plate\n";
  WeighingTick last;
  const bool ended = runTicks(
      kWeighingTickInterval,
      [&] {
        last = weighing.tick();
        return last.ended;
      },
      [&] { io.err << "weighing: " << last.progress << " of " << kWeighingSamples << " samples\n"; });
  if (!ended) {
    weighing.cancel();
    io.err << "velkora-cli record: interrupted while weighing; nothing recorded, nothing saved\n";
    return std::nullopt;
  }
  if (last.status != WeighingStatus::Done) {
    messages.showMessage(msg::kErrorInCommunication);
    return std::nullopt;
  }
  char line[64];
  std::snprintf(line, sizeof line, "body weight: %.1f kg\n", static_cast<double>(weighing.bodyWeight()));
  io.err << line;
  return weighing.bodyWeight();
}

std::optional<TestEnd> RecordCommand::record(CliIo& io, SharedRecords& records, int& exitCode) {
  exitCode = kExitFailure;  // every way out before the test has run is a failure
  SimulationOption simulation;
  if (simulateOption_->count() > 0) {
    std::string error;
    simulation.given = parseSimulation(scenario_, simulation.plan, error);  // checked while parsing
  }
  MeasurementStore& store = records.store;
  ProgramPlate plate(records, simulation);
  plate.system().setTransport(portOption_->count() > 0 ? 1 : 0);
  const AppSettings settings = testSettings(records.app);
  const ExerciseSession& session = plate.exercise();

  StartResult started = StartResult::CommunicationError;
  if (test() == TestChoice::Power) {
    // The power test weighs the subject first, standing still for 2.02 s.
    const std::optional<float> bodyWeight = weighSubject(plate, settings, io);
    if (!bodyWeight) return std::nullopt;
    started = startPowerTest(plate, settings, *bodyWeight);
  } else {
    started = startForceTest(plate, settings);
  }
  if (started == StartResult::InvalidParameters) {
    // Only the configuration's start force can be out of range: the command line checked the rest.
    io.err << "velkora-cli record: the setup's start force of " << settings.startForce << " N is outside "
           << kStartForce.min << " to " << kStartForce.max << "; give one with --start-force\n";
    return std::nullopt;
  }
  if (started != StartResult::Started) {
    StreamMessageSink messages(io.err);
    messages.showMessage(msg::kErrorInCommunication);
    return std::nullopt;
  }
  const Recording& recording = store.recording;
  if (recording.waiting.load() != 0) io.err << "waiting for the start force of " << recording.startThreshold << " N\n";
  io.err << "recording (Ctrl+C stops and saves)\n";

  TestTick last;
  last.waitingForStartForce = recording.waiting.load() != 0;
  const bool ended = runTicks(
      kTestTickInterval,
      [&] {
        last = tickTest(plate);
        return last.end != TestEnd::None;
      },
      [&] {
        if (last.waitingForStartForce) {
          io.err << "waiting for the start force\n";
        } else if (session.countsRepetitions()) {
          io.err << "repetitions: " << store.repetitions.rows() << " of " << session.target() << ", "
                 << last.sampleCount << " samples\n";
        } else {
          io.err << "recording: " << last.sampleCount << " of " << session.target() << " samples\n";
        }
      });
  exitCode = kExitOk;
  // A stop signal ends the test as STOP does; a jump is smoothed and analysed either way.
  return ended ? last.end : finishTest(plate);
}

// The command's help; the scenarios are the simulated plate's own text.
const std::string kDescription =
    "Records a force test (for a time or a number of repetitions, from the start force) or a power test\n"
    "(body weight first, then the jump) into a measurement file; progress goes to stderr. Ctrl+C, SIGTERM\n"
    "and SIGHUP stop the test as STOP does and save what was recorded; a take without a sample saves\n"
    "nothing, leaves any file at PATH as it was and exits 1, as does a plate that is lost (unplugged, or\n"
    "silent for 1 s) before the first sample; a plate lost later saves what came and exits 1. A PATH that\n"
    "cannot be written is reported before the test starts. --config PATH must be readable and may not be\n"
    "the output. --simulate replaces the plate by the simulated one. The saved file is added to the library\n"
    "(--library, or library.sqlite beside the DATA folder); with a server library that cannot be reached it\n"
    "waits in the outbox and the exit code is 0. A library named by --library that refuses it exits 1.\n" +
    scenarioHelpText(100, "");

const CliRegistration registration{
    {"record", "record a force or a power test into a measurement file", kDescription, makeCommand<RecordCommand>}};

}  // namespace
}  // namespace velkora::cli
