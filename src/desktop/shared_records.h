#pragma once
// The shared records the windows work on, passed by reference so a test gives its own.

#include "acquisition/measurement_store.h"
#include "app/paths.h"
#include "app/settings.h"
#include "storage/subject_info.h"

namespace velkora {

struct SharedRecords {
  MeasurementStore& store;
  CalibrationSet& calibration;  // the plate's calibration
  AppSettings& app;
  GraphSettings& graph;
  SubjectInfo& subject;
  ProgramPaths& paths;

  // The program's one instance of each.
  static SharedRecords program();
};

}  // namespace velkora
