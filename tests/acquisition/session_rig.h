#pragma once
// One program's shared records, plate system and sessions, over the simulated plate (as under
// --simulate) or over transports the test scripts.

#include <chrono>
#include <memory>
#include <string_view>
#include <thread>

#include "acquisition/calibration_procedure.h"
#include "acquisition/check_readout.h"
#include "acquisition/exercise_session.h"
#include "acquisition/link_fakes.h"
#include "acquisition/plate_devices.h"
#include "acquisition/weighing_session.h"

namespace velkora::testing {

inline SimulationOption simulateOption(std::string_view scenario) {
  SimulationOption option;
  std::string error;
  if (!takeSimulationOption("--simulate=" + std::string(scenario), option, error)) throw std::runtime_error(error);
  return option;
}

struct Records {
  CalibrationSet calibration;
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  std::unique_ptr<SampleBuffer> buffers = std::make_unique<SampleBuffer>();
  Recording checkRecording;
  Recording weightRecording{.samples = buffers.get()};
  Recording calibrationRecording{.samples = buffers.get()};
  AppSettings settings;
  int64_t clockSeconds = 1700000000;  // the test clock
};

struct SessionRig : Records {
  // The simulated plate playing `scenario`; "" or ",fast" is the subject that follows each start.
  // Its serial ports point nowhere.
  explicit SessionRig(std::string_view scenario)
      : plate(calibration, store->repetitions, simulateOption(scenario),
              std::make_unique<SystemTransportFactory>(PlateDevicePaths{.serialPortPrefix = "/nonexistent/ttyS"})) {}
  explicit SessionRig(TransportFactory& transports) : plate(calibration, store->repetitions, transports) {}

  SimulatedTransportFactory& simulation() { return *plate.simulation(); }

  PlateSystem plate;
  ExerciseSession test{plate, *store, calibration, [this] { return clockSeconds; }};
  WeighingSession weighing{plate, weightRecording, calibration};
  CheckReadout check{plate, checkRecording, calibration};
  CalibrationProcedure calibrationProcedure{plate, calibrationRecording, calibration};
};

// A rig over one scripted plate whose frames the test pushes.
struct ScriptedRig {
  ScriptedRig() {
    factory.makeUsb = [this] { return std::make_unique<BorrowedTransport>(plate); };
  }
  FeedTransport plate;
  ScriptedFactory factory;
  SessionRig rig{factory};
};

// Ticks `session` every `interval` until the test ends, passing every tick to `seen`.
template <typename Seen>
TestEnd tickUntilEnd(ExerciseSession& session, std::chrono::milliseconds interval, Seen seen) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(interval);
    const TestTick t = session.tick();
    seen(t);
    if (t.end != TestEnd::None) return t.end;
  }
  return TestEnd::None;
}

inline TestEnd tickUntilEnd(ExerciseSession& session,
                            std::chrono::milliseconds interval = std::chrono::milliseconds(2)) {
  return tickUntilEnd(session, interval, [](const TestTick&) {});
}

}  // namespace velkora::testing
