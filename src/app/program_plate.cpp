#include "app/program_plate.h"

#include "acquisition/measurement_store.h"
#include "acquisition/plate_devices.h"

namespace velkora {

ProgramPlate::ProgramPlate(SharedRecords records, const SimulationOption& simulation)
    : ProgramPlate(records, std::make_unique<PlateSystem>(records.calibration, records.store.repetitions, simulation,
                                                          std::make_unique<SystemTransportFactory>())) {}

ProgramPlate::ProgramPlate(SharedRecords records, std::unique_ptr<PlateSystem> system)
    : records_(records),
      system_(std::move(system)),
      exercise_(*system_, records.store, records.calibration),
      check_(*system_, records.checkRecording, records.calibration),
      weighing_(*system_, records.weightRecording, records.calibration),
      calibration_(*system_, records.calibrationRecording, records.calibration) {}

ProgramPlate::~ProgramPlate() = default;

}  // namespace velkora
