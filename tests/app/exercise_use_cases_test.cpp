#include "app/exercise_use_cases.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "acquisition/plate_devices.h"
#include "app/program_records.h"

namespace velkora {
namespace {

using namespace std::chrono_literals;

// The program's records and plate, on the simulated plate whose subject follows each start.
struct Program {
  explicit Program(const char* scenario) {
    SimulationOption simulation;
    std::string error;
    EXPECT_TRUE(takeSimulationOption(scenario, simulation, error)) << error;
    plate = std::make_unique<ProgramPlate>(
        records->shared(),
        std::make_unique<PlateSystem>(
            records->calibration, records->store.repetitions, simulation,
            std::make_unique<SystemTransportFactory>(PlateDevicePaths{.serialPortPrefix = "/nonexistent/ttyS"})));
  }
  std::unique_ptr<ProgramRecords> records = std::make_unique<ProgramRecords>();
  std::unique_ptr<ProgramPlate> plate;
};

TestEnd tickToTheEnd(ProgramPlate& plate) {
  for (int i = 0; i < 20000; ++i) {
    const TestTick t = tickTest(plate);
    if (t.end != TestEnd::None) return t.end;
    std::this_thread::sleep_for(1ms);
  }
  return TestEnd::None;
}

// A jump is analysed however its test ends: at its time, or by STOP; a force test never is. A test
// that starts takes the recording away from the file it came from.
TEST(ExerciseUseCases, AJumpIsAnalysedHoweverItsTestEnds) {
  {
    Program p("--simulate=,fast");
    p.records->paths.currentFilePath = "/data/old.tsr";
    ASSERT_EQ(startPowerTest(*p.plate, {.powerTestTime = 3}, 75.0f), StartResult::Started);
    EXPECT_EQ(p.records->paths.currentFilePath, "");
    EXPECT_FALSE(p.records->store.jump.analysed);
    ASSERT_EQ(tickToTheEnd(*p.plate), TestEnd::Finished);
    EXPECT_TRUE(p.records->store.jump.analysed);
  }
  {
    Program p("--simulate");  // real time: the test still runs when STOP comes
    ASSERT_EQ(startPowerTest(*p.plate, {.powerTestTime = 5}, 75.0f), StartResult::Started);
    for (int i = 0; i < 2000 && p.records->store.recording.sampleCount.load() <= 200; ++i)
      std::this_thread::sleep_for(1ms);
    EXPECT_EQ(finishTest(*p.plate), TestEnd::Stopped);
    EXPECT_TRUE(p.records->store.jump.analysed);
    EXPECT_LT(p.records->store.jump.peakIndex, p.records->store.sampleCount.load());
  }
  {
    Program p("--simulate=,fast");
    ASSERT_EQ(startForceTest(*p.plate, {.forceTestValue = 1, .startForce = 0}), StartResult::Started);
    ASSERT_EQ(tickToTheEnd(*p.plate), TestEnd::Finished);
    EXPECT_FALSE(p.records->store.jump.analysed);
  }
}

}  // namespace
}  // namespace velkora
