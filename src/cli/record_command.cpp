// velkora-cli record: runs a force or power test without a window and saves it as a measurement
// file, with the program's own store, recorder, plate link and file code.

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "acquisition/plate_devices.h"
#include "acquisition/plate_link.h"
#include "acquisition/power_test.h"
#include "acquisition/simulation_option.h"
#include "app/messages.h"
#include "app/program_state.h"
#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "cli/stop_signals.h"
#include "reports/jump_analysis.h"
#include "storage/binary_io.h"
#include "storage/configuration_file.h"
#include "storage/measurement_file.h"

namespace velkora::cli {
namespace {

using namespace std::chrono;

constexpr auto kTick = milliseconds(10);
constexpr auto kWeighingPatience = seconds(10);  // 2.02 s of samples, with room for a slow start

enum class TestChoice { None, ForceTime, ForceReps, Power };

enum class Outcome { Finished, Interrupted, Lost, Stalled };

// Watches a running recording the way the window's timer does, printing progress once a second.
// `done` says when the recording has what it needs.
template <typename Done, typename Progress>
Outcome watch(const PlateLink& link, Done done, Progress progress, std::optional<steady_clock::duration> patience) {
  const auto start = steady_clock::now();
  auto nextReport = start + seconds(1);
  while (true) {
    if (done()) return Outcome::Finished;
    if (link.plateLost()) return done() ? Outcome::Finished : Outcome::Lost;
    if (StopSignals::requested()) return Outcome::Interrupted;
    const auto now = steady_clock::now();
    if (patience && now - start > *patience) return Outcome::Stalled;
    if (now >= nextReport) {
      progress();
      nextReport += seconds(1);
    }
    std::this_thread::sleep_for(kTick);
  }
}

class RecordCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override;
  int run(CliIo& io) override;

 private:
  TestChoice test() const;
  // Reads the --config file into the plate's settings, with the program's messages; false after the
  // path and the reason when the file cannot be read.
  bool loadConfigFile(CliIo& io) const;
  // Records the chosen test into the store; the outcome of the test itself (a failed weighing or start
  // ends the command with `exitCode` instead).
  std::optional<Outcome> record(CliIo& io, int& exitCode);

  CLI::Option* forceTime_ = nullptr;
  CLI::Option* forceReps_ = nullptr;
  CLI::Option* power_ = nullptr;
  CLI::Option* startForceOption_ = nullptr;
  CLI::Option* portOption_ = nullptr;
  CLI::Option* simulateOption_ = nullptr;
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
                   ->transform(wholeNumber(1, 60));
  forceReps_ = tests->add_option("--force-reps", value_, "a force test of COUNT repetitions from the start force")
                   ->type_name("COUNT")
                   ->transform(wholeNumber(1, kMaxRepetitions));
  // The recorder holds at most 61000 samples.
  power_ = tests->add_option("--power", value_, "a power test: the body weight, then SECONDS of the jump")
               ->type_name("SECONDS")
               ->transform(wholeNumber(1, kMaxSamples / 1000));
  tests->require_option(1);
  command.add_option("--output", output_, "the measurement file the test is saved to")
      ->required()
      ->type_name("PATH")
      ->check(nonEmpty());
  startForceOption_ = command.add_option("--start-force", startForce_, "start force in newtons (default: the setup's)")
                          ->type_name("N")
                          ->transform(wholeNumber(0, 6000));
  power_->excludes(startForceOption_);  // the power test records from the first frame
  portOption_ = command.add_option("--port", port_, "read the serial port COMn instead of the USB plate")
                    ->type_name("N")
                    ->transform(wholeNumber(1, kSerialPortCount));
  command.add_option("--config", config_, "take the plate's calibration and the setup from this configuration file")
      ->type_name("PATH")
      ->check(nonEmpty());
  simulateOption_ = command
                        .add_flag("--simulate{}", scenario_,
                                  "replace the USB plate by the simulated one playing SCENARIO (default jump)")
                        ->option_text("[=SCENARIO]")
                        ->check(scenarioCheck());
}

TestChoice RecordCommand::test() const {
  if (forceTime_->count() > 0) return TestChoice::ForceTime;
  if (forceReps_->count() > 0) return TestChoice::ForceReps;
  if (power_->count() > 0) return TestChoice::Power;
  return TestChoice::None;
}

bool RecordCommand::loadConfigFile(CliIo& io) const {
  // The configuration's warnings are shown as at the program's start; a file that cannot be read is an
  // error here, because the user named it.
  CollectingMessageSink messages;
  std::error_code openError;
  loadConfiguration(config_, {program::appSettings, program::currentCalibration, program::graphSettings}, messages,
                    &openError);
  if (openError) {
    io.err << msg::kErrorOpeningFile << '\n';
    printFileReason(io.err, config_, openError);
    return false;
  }
  for (const std::string& message : messages.messages) io.err << message << '\n';
  return true;
}

int RecordCommand::run(CliIo& io) {
  if (!config_.empty()) {
    if (outputIsInput("record", config_, output_, io) || !loadConfigFile(io)) return kExitFailure;
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
  const std::optional<Outcome> outcome = record(io, exitCode);
  if (!outcome) return exitCode;

  MeasurementStore& store = program::measurementStore;
  StreamMessageSink messages(io.err);
  if (*outcome == Outcome::Interrupted) io.err << "stopped\n";
  if (*outcome != Outcome::Finished && *outcome != Outcome::Interrupted)
    messages.showMessage(msg::kErrorInCommunication);
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  if (n == 0) {
    // An empty take never replaces a file, least of all a good one.
    io.err << "velkora-cli record: no sample was recorded; nothing saved\n";
    return kExitFailure;
  }
  std::error_code saveError;
  if (!saveMeasurement(output_, store, program::subjectInfo, messages, &saveError)) {
    printFileReason(io.err, output_, saveError);
    return kExitFailure;
  }
  io.err << "saved " << n << " samples";
  if (test() == TestChoice::ForceReps) io.err << " and " << store.repetitions.rows() << " repetitions";
  io.err << " to " << output_ << '\n';
  return *outcome == Outcome::Finished || *outcome == Outcome::Interrupted ? kExitOk : kExitFailure;
}

std::optional<Outcome> RecordCommand::record(CliIo& io, int& exitCode) {
  StreamMessageSink messages(io.err);
  CalibrationSet& calibration = program::currentCalibration;
  MeasurementStore& store = program::measurementStore;
  SampleRecorder recorder(calibration, store.repetitions);
  FrameDecoder decoder(recorder);
  SimulationOption simulation;
  if (simulateOption_->count() > 0) {
    std::string error;
    simulation.given = parseSimulation(scenario_, simulation.plan, error);  // checked while parsing
  }
  SystemTransportFactory system;
  const std::unique_ptr<TransportFactory> transports = makeTransportFactory(simulation, system);
  PlateLink link(decoder, recorder, *transports);

  const bool serial = portOption_->count() > 0;
  const int32_t port = serial ? port_ - 1 : program::appSettings.portIndex;
  auto route = [&](Recording& r) { r.transport = serial ? 1 : 0; };
  auto fail = [&](int code) -> std::optional<Outcome> {
    exitCode = code;
    return std::nullopt;
  };

  // The power test weighs the subject first, standing still for 2.02 s.
  const TestChoice choice = test();
  if (choice == TestChoice::Power) {
    Recording& weighing = program::weightRecording;
    weighing.prepare(port, RecordingMode::Timed, kWeighingSamples, calibration);
    route(weighing);
    if (!link.startLink(weighing)) {
      messages.showMessage(msg::kErrorInCommunication);
      return fail(kExitFailure);
    }
    io.err << "weighing: stand still on the plate\n";
    const Outcome weighed = watch(
        link, [&] { return weighing.sampleCount.load(std::memory_order_acquire) >= kWeighingSamples; },
        [&] { io.err << "weighing: " << weighing.sampleCount.load() << " of " << kWeighingSamples << " samples\n"; },
        kWeighingPatience);
    link.stopLink();
    if (weighed == Outcome::Interrupted) {
      io.err << "velkora-cli record: interrupted while weighing; nothing recorded, nothing saved\n";
      return fail(kExitFailure);
    }
    if (weighed != Outcome::Finished) {
      messages.showMessage(msg::kErrorInCommunication);
      return fail(kExitFailure);
    }
    store.bodyWeight = bodyWeightFromSamples(*weighing.samples, calibration.coefficientVertical);
    char line[64];
    std::snprintf(line, sizeof line, "body weight: %.1f kg\n", static_cast<double>(store.bodyWeight));
    io.err << line;
  }

  Recording& test = store.recording;
  const int32_t startForce = startForceOption_->count() > 0 ? startForce_ : program::appSettings.startForce;
  switch (choice) {
    case TestChoice::ForceTime:
      test.prepare(port, RecordingMode::Timed, value_ * 1000, calibration, true, startForce);
      break;
    case TestChoice::ForceReps:
      test.prepare(port, RecordingMode::Repetitions, value_, calibration, true, startForce);
      break;
    case TestChoice::Power:
    case TestChoice::None:
      test.prepare(port, RecordingMode::Timed, value_ * 1000, calibration);
      break;
  }
  route(test);
  test.samples = &store.channels;
  // The store is made ready before the reader starts, so no frame of the new test can meet the
  // previous test's repetition count.
  store.resetForNewTest(calibration, static_cast<int64_t>(std::time(nullptr)));
  store.testKind = choice == TestChoice::Power ? TestKind::Power : TestKind::Force;
  if (!link.startLink(test)) {
    messages.showMessage(msg::kErrorInCommunication);
    return fail(kExitFailure);
  }
  if (test.waiting.load() != 0) io.err << "waiting for the start force of " << test.startThreshold << " N\n";
  io.err << "recording (Ctrl+C stops and saves)\n";

  const bool repetitions = choice == TestChoice::ForceReps;
  const Outcome outcome = watch(
      link, [&] { return test.stopped.load(std::memory_order_acquire) == 1; },
      [&] {
        if (test.waiting.load(std::memory_order_acquire) != 0) {
          io.err << "waiting for the start force\n";
        } else if (repetitions) {
          io.err << "repetitions: " << store.repetitions.count.load(std::memory_order_acquire) << " of " << test.limit
                 << ", " << test.sampleCount.load(std::memory_order_acquire) << " samples\n";
        } else {
          io.err << "recording: " << test.sampleCount.load(std::memory_order_acquire) << " of " << test.limit
                 << " samples\n";
        }
      },
      std::nullopt);

  if (outcome != Outcome::Finished) test.stopped.store(1, std::memory_order_release);  // as STOP does
  link.stopLink();
  // The reader has ended: every sample below the count is complete.
  const int32_t n = test.sampleCount.load(std::memory_order_acquire);
  store.sampleCount.store(n, std::memory_order_release);
  store.recordingAvailable.store(1, std::memory_order_release);
  if (outcome == Outcome::Finished) {
    store.saved.store(0, std::memory_order_release);
    if (store.testKind == TestKind::Power) {
      smoothVertical(store.channels, n);
      computeJumpResults(store);
    }
  }
  return outcome;
}

const CliRegistration registration{
    {"record", "record a force or a power test into a measurement file",
     "Records a force test (for a time or a number of repetitions, from the start force) or a power test\n"
     "(body weight first, then the jump) into a measurement file; progress goes to stderr. Ctrl+C, SIGTERM\n"
     "and SIGHUP stop the test as STOP does and save what was recorded; a take without a sample saves\n"
     "nothing, leaves any file at PATH as it was and exits 1, as does a plate that is lost (unplugged, or\n"
     "silent for 1 s) before the first sample; a plate lost later saves what came and exits 1. A PATH that\n"
     "cannot be written is reported before the test starts. --config PATH must be readable and may not be\n"
     "the output. --simulate replaces the plate by the simulated one; SCENARIO is ITEM[/ITEM...][,fast]\n"
     "with items empty, stand[:KG], pushes[:COUNT[:PEAK[:MS[:HORIZONTAL[:PAUSE]]]]],\n"
     "jump[:KG[:FLIGHT_MS[:QUIET_MS]]], mass[:KG], hmass[:KG], calibration[:KG], silent, absent,\n"
     "unplug[:MS[:KG]] (default jump).",
     makeCommand<RecordCommand>}};

}  // namespace
}  // namespace velkora::cli
