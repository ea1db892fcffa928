#pragma once
// Measurement files made without a plate: the simulated plate's counts of a jump or of pushes, as the
// program's recorder would store them, encoded by the program's own file code. For library tests and
// benchmarks that need many realistic files fast.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "acquisition/measurement_store.h"
#include "acquisition/simulated_plate.h"
#include "storage/binary_io.h"
#include "storage/measurement_file.h"

namespace velkora::testing {

struct GeneratedTest {
  std::string name = "Anna Meier";
  TestKind kind = TestKind::Power;
  int32_t testTime = 1714550400;  // 2024-05-01 08:00 UTC
  int32_t samples = 5000;
  double mass = 75.0;    // power: the jumper; force: sets the push's peak
  int32_t flight = 450;  // power: ms in the air
  int32_t pushes = 3;    // force
};

// The bytes of the file: a countermovement jump after 1.5 s of standing (power), or pushes of a peak
// proportional to the mass (force), offset-corrected counts with the plate's default calibration.
inline std::string generatedMeasurementBytes(const GeneratedTest& test) {
  static const std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  Scenario scenario;
  if (test.kind == TestKind::Power) {
    scenario.kind = ScenarioKind::Jump;
    scenario.mass = test.mass;
    scenario.flight = test.flight;
    scenario.quiet = 1500;
  } else {
    scenario.kind = ScenarioKind::Pushes;
    scenario.count = test.pushes;
    scenario.peak = test.mass * 10.0;
    scenario.duration = 400;
    scenario.pause = 500;
  }
  const PlateModel model;
  const SimulatedPlate plate(scenario, model);
  const int32_t n = std::clamp(test.samples, 0, kMaxSamples);
  for (int32_t i = 0; i < n; ++i) {
    int32_t v = 0, h = 0;
    plate.counts(i, v, h);
    store->channels.vertical[i] = v - model.offsetVertical;
    store->channels.horizontal[i] = h - model.offsetHorizontal;
  }
  if (n < kMaxSamples) store->channels.vertical[n] = store->channels.horizontal[n] = 0;
  store->sampleCount.store(n);
  store->calibration = CalibrationSet{};
  store->bodyWeight = test.kind == TestKind::Power ? static_cast<float>(test.mass) : 0.0f;
  store->testTime = test.testTime;
  store->repetitions.count.store(0);
  SubjectInfo subject;
  subject.name = test.name;
  subject.weight = static_cast<int32_t>(test.mass);
  subject.height = 175;
  return encodeMeasurement(*store, subject);
}

// Written in place, or (atomic) the way the program saves: complete or not at all, flushed to disk.
inline bool writeGeneratedTest(const std::string& path, const GeneratedTest& test, bool atomic = false) {
  const std::string bytes = generatedMeasurementBytes(test);
  if (atomic) return writeFileAtomically(path, bytes);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace velkora::testing
