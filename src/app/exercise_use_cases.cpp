#include "app/exercise_use_cases.h"

#include "app/measurement_use_cases.h"
#include "storage/configuration_file.h"

namespace velkora {
namespace {

StartResult started(ProgramPlate& plate, StartResult result) {
  if (result == StartResult::Started) plate.records().paths.currentFilePath.clear();
  return result;
}

// A test that has just ended: a jump's reports describe the recording from now on.
TestEnd ended(ProgramPlate& plate, TestEnd end) {
  if (end != TestEnd::None && plate.exercise().kind() == TestKind::Power) analyseRecording(plate.records().store);
  return end;
}

}  // namespace

StartResult startForceTest(ProgramPlate& plate, const AppSettings& settings) {
  return started(plate, plate.exercise().startForceTest(settings));
}

StartResult startPowerTest(ProgramPlate& plate, const AppSettings& settings, float bodyWeightKg) {
  return started(plate, plate.exercise().startPowerTest(settings, bodyWeightKg));
}

TestTick tickTest(ProgramPlate& plate) {
  TestTick tick = plate.exercise().tick();
  ended(plate, tick.end);
  return tick;
}

TestEnd finishTest(ProgramPlate& plate) { return ended(plate, plate.exercise().stop()); }

bool runCheck(ProgramPlate& plate) { return plate.checkReadout().open(plate.records().app); }

bool weigh(ProgramPlate& plate, const AppSettings& settings) { return plate.weighing().go(settings); }

GoResult startCalibrationStep(ProgramPlate& plate, CalibrationStep step, int32_t weightKg) {
  return plate.calibration().go(step, weightKg, plate.records().app);
}

bool calibrate(ProgramPlate& plate, int32_t weightKg) {
  if (!plate.calibration().ok(weightKg)) return false;
  const SharedRecords& r = plate.records();
  saveConfiguration(r.paths.configPath, r.app, r.calibration, r.graph);
  return true;
}

}  // namespace velkora
