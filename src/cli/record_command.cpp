// velkora-cli record: runs a force or power test without a window and saves it as a measurement
// file, with the program's own store, recorder, plate link and file code.

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
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
#include "reports/jump_analysis.h"
#include "storage/configuration_file.h"
#include "storage/measurement_file.h"

namespace velkora::cli {
namespace {

using namespace std::chrono;

constexpr std::string_view kUsage =
    "(--force-time SECONDS | --force-reps COUNT | --power SECONDS) --output PATH [--start-force N] [--port N] "
    "[--config PATH] [--simulate[=SCENARIO]]";
constexpr auto kTick = milliseconds(10);
constexpr auto kWeighingPatience = seconds(10);  // 2.02 s of samples, with room for a slow start

// Ctrl+C asks the running test to stop the way the STOP button does.
std::atomic<int> interruptRequested{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int) { interruptRequested.store(1, std::memory_order_relaxed); }

class InterruptGuard {
 public:
  InterruptGuard() {
    interruptRequested.store(0);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // progress output on stderr is not cut by the interrupt
    installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
  }
  ~InterruptGuard() {
    if (installed_) ::sigaction(SIGINT, &previous_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;
  static bool requested() { return interruptRequested.load(std::memory_order_relaxed) != 0; }

 private:
  struct sigaction previous_ {};
  bool installed_ = false;
};

enum class TestChoice { None, ForceTime, ForceReps, Power };

struct Request {
  TestChoice test = TestChoice::None;
  int32_t value = 0;  // seconds or repetitions
  std::string output;
  std::optional<int32_t> startForce;
  std::optional<int32_t> serialPort;  // portIndex 0..4 when --port was given
  std::string config;
  SimulationOption simulation;
};

// Parses the arguments; false after printing why.
bool parseRequest(std::vector<std::string> args, Request& request, CliIo& io) {
  std::string error;
  if (!extractSimulationOption(args, request.simulation, error)) {
    io.err << "velkora-cli record: " << error << '\n';
    return false;
  }
  struct Bounded {
    std::string_view name;
    long long min;
    long long max;
  };
  auto number = [&](const Bounded& option, const std::string& text, int32_t& out) {
    long long value = 0;
    if (!parseInt(text, value) || value < option.min || value > option.max) {
      io.err << "velkora-cli record: " << option.name << " needs an integer from " << option.min << " to " << option.max
             << '\n';
      return false;
    }
    out = static_cast<int32_t>(value);
    return true;
  };
  const std::pair<Bounded, TestChoice> tests[] = {
      {{"--force-time", 1, 60}, TestChoice::ForceTime},
      {{"--force-reps", 1, kMaxRepetitions}, TestChoice::ForceReps},
      // The recorder holds at most 61000 samples.
      {{"--power", 1, kMaxSamples / 1000}, TestChoice::Power},
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string value;
    bool missing = false;
    bool taken = false;
    for (const auto& [option, choice] : tests) {
      if (taken || !takeOption(args, i, option.name, value, missing)) continue;
      taken = true;
      if (request.test != TestChoice::None) {
        io.err << "velkora-cli record: choose one test: --force-time, --force-reps or --power\n";
        return false;
      }
      request.test = choice;
      if (missing || !number(option, value, request.value)) {
        if (missing) io.err << "velkora-cli record: " << option.name << " needs a value\n";
        return false;
      }
    }
    if (taken) continue;
    bool pathTaken = false;
    for (auto [name, target] : {std::pair{"--output", &request.output}, std::pair{"--config", &request.config}}) {
      if (pathTaken || !takeOption(args, i, name, value, missing)) continue;
      pathTaken = true;
      if (missing || value.empty()) {
        io.err << "velkora-cli record: " << name << " needs a path\n";
        return false;
      }
      *target = value;
    }
    if (pathTaken) continue;
    if (takeOption(args, i, "--start-force", value, missing)) {
      int32_t force = 0;
      if (missing || !number({"--start-force", 0, 6000}, value, force)) return false;
      request.startForce = force;
      continue;
    }
    if (takeOption(args, i, "--port", value, missing)) {
      int32_t port = 0;
      if (missing || !number({"--port", 1, kSerialPortCount}, value, port)) return false;
      request.serialPort = port - 1;
      continue;
    }
    io.err << "velkora-cli record: unexpected argument '" << args[i] << "'\n";
    return false;
  }
  if (request.test == TestChoice::None) {
    io.err << "velkora-cli record: choose a test: --force-time, --force-reps or --power\n";
    return false;
  }
  if (request.output.empty()) {
    io.err << "velkora-cli record: --output PATH is required\n";
    return false;
  }
  if (request.test == TestChoice::Power && request.startForce) {
    io.err << "velkora-cli record: the power test records from the first frame; --start-force does not apply\n";
    return false;
  }
  return true;
}

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
    if (InterruptGuard::requested()) return Outcome::Interrupted;
    const auto now = steady_clock::now();
    if (patience && now - start > *patience) return Outcome::Stalled;
    if (now >= nextReport) {
      progress();
      nextReport += seconds(1);
    }
    std::this_thread::sleep_for(kTick);
  }
}

int runRecord(const std::vector<std::string>& args, CliIo& io) {
  Request request;
  if (!parseRequest(args, request, io)) return kExitUsage;

  StreamMessageSink messages(io.err);
  CalibrationSet& calibration = program::currentCalibration;
  // As at the program's start, the configuration's messages are shown and its result is ignored:
  // whatever the file could not supply keeps its default.
  if (!request.config.empty())
    loadConfiguration(request.config, {program::appSettings, program::currentCalibration, program::graphSettings},
                      messages);

  // Find out now, not after a minute of recording, that the file cannot be written.
  {
    std::filesystem::path folder = std::filesystem::path(request.output).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec) || ::access(folder.c_str(), W_OK) != 0) {
      io.err << "velkora-cli record: cannot write into " << folder.string() << '\n';
      return kExitFailure;
    }
  }

  MeasurementStore& store = program::measurementStore;
  SampleRecorder recorder(calibration, store.repetitions);
  FrameDecoder decoder(recorder);
  SystemTransportFactory system;
  const std::unique_ptr<TransportFactory> transports = makeTransportFactory(request.simulation, system);
  PlateLink link(decoder, recorder, *transports);
  InterruptGuard interrupt;

  const int32_t port = request.serialPort.value_or(program::appSettings.portIndex);
  auto route = [&](Recording& r) { r.transport = request.serialPort ? 1 : 0; };
  auto communicationError = [&] { messages.showMessage(msg::kErrorInCommunication); };

  // The power test weighs the subject first, standing still for 2.02 s.
  if (request.test == TestChoice::Power) {
    Recording& weighing = program::weightRecording;
    weighing.prepare(port, RecordingMode::Timed, kWeighingSamples, calibration);
    route(weighing);
    if (!link.startLink(weighing)) {
      communicationError();
      return kExitFailure;
    }
    io.err << "weighing: stand still on the plate\n";
    const Outcome weighed = watch(
        link, [&] { return weighing.sampleCount.load(std::memory_order_acquire) >= kWeighingSamples; },
        [&] { io.err << "weighing: " << weighing.sampleCount.load() << " of " << kWeighingSamples << " samples\n"; },
        kWeighingPatience);
    link.stopLink();
    if (weighed == Outcome::Interrupted) {
      io.err << "velkora-cli record: interrupted while weighing; nothing recorded, nothing saved\n";
      return kExitFailure;
    }
    if (weighed != Outcome::Finished) {
      communicationError();
      return kExitFailure;
    }
    store.bodyWeight = bodyWeightFromSamples(*weighing.samples, calibration.coefficientVertical);
    char line[64];
    std::snprintf(line, sizeof line, "body weight: %.1f kg\n", static_cast<double>(store.bodyWeight));
    io.err << line;
  }

  Recording& test = store.recording;
  switch (request.test) {
    case TestChoice::ForceTime:
      test.prepare(port, RecordingMode::Timed, request.value * 1000, calibration, true,
                   request.startForce.value_or(program::appSettings.startForce));
      break;
    case TestChoice::ForceReps:
      test.prepare(port, RecordingMode::Repetitions, request.value, calibration, true,
                   request.startForce.value_or(program::appSettings.startForce));
      break;
    case TestChoice::Power:
    case TestChoice::None:
      test.prepare(port, RecordingMode::Timed, request.value * 1000, calibration);
      break;
  }
  route(test);
  test.samples = &store.channels;
  // The store is made ready before the reader starts, so no frame of the new test can meet the
  // previous test's repetition count.
  store.resetForNewTest(calibration, static_cast<int64_t>(std::time(nullptr)));
  store.testKind = request.test == TestChoice::Power ? TestKind::Power : TestKind::Force;
  if (!link.startLink(test)) {
    communicationError();
    return kExitFailure;
  }
  if (test.waiting.load() != 0) io.err << "waiting for the start force of " << test.startThreshold << " N\n";
  io.err << "recording (Ctrl+C stops and saves)\n";

  const bool repetitions = request.test == TestChoice::ForceReps;
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
  } else if (outcome == Outcome::Interrupted) {
    io.err << "stopped\n";
  } else {
    communicationError();
  }

  if (!saveMeasurement(request.output, store, program::subjectInfo, messages)) return kExitFailure;
  io.err << "saved " << n << " samples";
  if (repetitions) io.err << " and " << store.repetitions.rows() << " repetitions";
  io.err << " to " << request.output << '\n';
  return outcome == Outcome::Lost ? kExitFailure : kExitOk;
}

const CliRegistration registration{
    {"record", kUsage,
     "record a force test (for a time or a number of repetitions, from the start force) or a power test (body "
     "weight first, then the jump) into a measurement file; --port N reads COMn instead of the USB plate, "
     "--simulate replaces the plate by the simulated one (SCENARIO: ITEM[/ITEM...][,fast] with items empty, "
     "stand[:KG], pushes[:COUNT[:PEAK[:MS[:HORIZONTAL[:PAUSE]]]]], jump[:KG[:FLIGHT_MS[:QUIET_MS]]], mass[:KG], "
     "hmass[:KG], calibration[:KG], silent, absent, unplug[:MS[:KG]]; default jump); Ctrl+C stops and saves",
     runRecord}};

}  // namespace
}  // namespace velkora::cli
