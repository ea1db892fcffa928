#pragma once
// The shared records, the plate system and the sessions of one program, for the session tests:
// over the simulated plate (as under --simulate) or over transports the test scripts.

#include <chrono>
#include <memory>
#include <string_view>
#include <thread>

#include "acquisition/calibration_procedure.h"
#include "acquisition/check_readout.h"
#include "acquisition/link_fakes.h"
#include "acquisition/plate_devices.h"
#include "acquisition/plate_system.h"
#include "acquisition/test_session.h"
#include "acquisition/weighing_session.h"

namespace velkora::testing {

inline constexpr int64_t kTestClockSeconds = 1700000000;

// The serial ports point nowhere, so nothing here ever touches a real device.
inline std::unique_ptr<TransportFactory> noSerialPorts() {
  return std::make_unique<SystemTransportFactory>(
      PlateDevicePaths{.sysfsTtyRoot = "/nonexistent", .serialPortPrefix = "/nonexistent/ttyS"});
}

inline SimulationOption simulateOption(std::string_view scenario) {
  SimulationOption option;
  std::string error;
  const std::string arg = "--simulate=" + std::string(scenario);
  if (!takeSimulationOption(arg, option, error) || !error.empty()) throw std::runtime_error(error);
  return option;
}

struct Records {
  CalibrationSet calibration;
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  std::unique_ptr<SampleBuffer> weightSamples = std::make_unique<SampleBuffer>();
  std::unique_ptr<SampleBuffer> calibrationSamples = std::make_unique<SampleBuffer>();
  Recording checkRecording;
  Recording weightRecording{.samples = weightSamples.get()};
  Recording calibrationRecording{.samples = calibrationSamples.get()};
  AppSettings settings;
  int64_t clockSeconds = kTestClockSeconds;  // the test clock the sessions stamp tests with
};

struct SessionRig : Records {
  // The simulated plate playing `scenario` ("" or ",fast": the subject that follows each start).
  explicit SessionRig(std::string_view scenario)
      : plate(calibration, store->repetitions, simulateOption(scenario), noSerialPorts()) {}
  // Scripted transports.
  explicit SessionRig(TransportFactory& transports) : plate(calibration, store->repetitions, transports) {}

  SimulatedTransportFactory& simulation() { return *plate.simulation(); }

  PlateSystem plate;
  TestSession test{plate, *store, calibration, [this] { return clockSeconds; }};
  WeighingSession weighing{plate, weightRecording, calibration};
  CheckReadout check{plate, checkRecording, calibration};
  CalibrationProcedure calibrationProcedure{plate, calibrationRecording, calibration};
};

// Ticks `session` every `interval` until the test ends; every tick is passed to `seen`.
template <typename Seen>
TestEnd tickUntilEnd(TestSession& session, std::chrono::milliseconds interval, Seen seen,
                     std::chrono::seconds limit = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(interval);
    const TestTick t = session.tick();
    seen(t);
    if (t.end != TestEnd::None) return t.end;
  }
  return TestEnd::None;
}

inline TestEnd tickUntilEnd(TestSession& session, std::chrono::milliseconds interval = std::chrono::milliseconds(2)) {
  return tickUntilEnd(session, interval, [](const TestTick&) {});
}

}  // namespace velkora::testing
