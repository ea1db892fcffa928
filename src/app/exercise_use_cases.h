#pragma once
// What the program does on the plate, for the window and velkora-cli alike: start a force or a power
// test, tick it and finish it (stop, smooth, analyse), the check readout, the weighing and the
// calibration.

#include <cstdint>

#include "app/program_plate.h"

namespace velkora {

// Perform: a force test with `settings` (the setup's, or velkora-cli's own). Once it has started, the
// recording in memory belongs to no file any more.
StartResult startForceTest(ProgramPlate& plate, const AppSettings& settings);
// Power perform after the weighing: a power test of settings.powerTestTime seconds for a subject of
// `bodyWeightKg`.
StartResult startPowerTest(ProgramPlate& plate, const AppSettings& settings, float bodyWeightKg);
// The tick of a running test, every kTestTickInterval. The tick that ends the test has finished it:
// a jump is smoothed and analysed by then.
TestTick tickTest(ProgramPlate& plate);
// STOP: ends the running test and keeps what was recorded; a jump is smoothed and analysed.
TestEnd finishTest(ProgramPlate& plate);

// Check: starts the live readout on the setup's port; the dialog then ticks plate.checkReadout().
// False means "Error in communication".
bool runCheck(ProgramPlate& plate);
// Go of the weighing on the port of `settings` (the setup's, or velkora-cli's own); the caller ticks
// plate.weighing(). False means "Error in communication".
bool weigh(ProgramPlate& plate, const AppSettings& settings);
// Go of a calibration step with the operator's mass for the weight steps.
GoResult startCalibrationStep(ProgramPlate& plate, CalibrationStep step, int32_t weightKg);
// OK of the calibration: applies the steps completed since it opened and saves the configuration (a
// configuration that cannot be written is not reported). False, with nothing changed, when the
// mass is out of range.
bool calibrate(ProgramPlate& plate, int32_t weightKg);

}  // namespace velkora
