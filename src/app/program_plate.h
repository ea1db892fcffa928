#pragma once
// The program's one plate and everything that runs on it: the plate link with its transports (the
// plate's own, or the simulated plate under --simulate), the exercise session, the check readout, the
// weighing and the calibration steps, all over the shared records. Only one link runs at a time
// across all of them. The window and velkora-cli act on it through the use cases of
// exercise_use_cases.h.

#include <memory>

#include "acquisition/calibration_procedure.h"
#include "acquisition/check_readout.h"
#include "acquisition/exercise_session.h"
#include "acquisition/plate_system.h"
#include "acquisition/simulation_option.h"
#include "acquisition/weighing_session.h"
#include "model/shared_records.h"

namespace velkora {

class ProgramPlate {
 public:
  // The program's: the USB plate and the serial ports, with the simulated plate in the USB plate's
  // place when `simulation` was given.
  ProgramPlate(SharedRecords records, const SimulationOption& simulation);
  // Over a plate system the caller made (tests give one over their own transports).
  ProgramPlate(SharedRecords records, std::unique_ptr<PlateSystem> system);
  ~ProgramPlate();
  ProgramPlate(const ProgramPlate&) = delete;
  ProgramPlate& operator=(const ProgramPlate&) = delete;

  SharedRecords& records() { return records_; }
  PlateSystem& system() { return *system_; }
  ExerciseSession& exercise() { return exercise_; }
  const ExerciseSession& exercise() const { return exercise_; }
  CheckReadout& checkReadout() { return check_; }
  WeighingSession& weighing() { return weighing_; }
  CalibrationProcedure& calibration() { return calibration_; }

 private:
  SharedRecords records_;
  std::unique_ptr<PlateSystem> system_;
  // The sessions end before the plate system they run on.
  ExerciseSession exercise_;
  CheckReadout check_;
  WeighingSession weighing_;
  CalibrationProcedure calibration_;
};

}  // namespace velkora
