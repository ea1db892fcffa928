#include "desktop/shared_records.h"

#include "app/program_state.h"

namespace velkora {

SharedRecords SharedRecords::program() {
  return {program::measurementStore, program::currentCalibration, program::appSettings,
          program::graphSettings,    program::subjectInfo,        program::paths};
}

}  // namespace velkora
