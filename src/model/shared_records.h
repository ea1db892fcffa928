#pragma once
// The records the whole program shares, passed by reference: each exists once in the program (its
// main function owns them), and a test gives its own.

#include "model/program_paths.h"
#include "model/settings.h"
#include "model/subject_info.h"

namespace velkora {

struct MeasurementStore;
struct CalibrationSet;
struct Recording;

struct SharedRecords {
  MeasurementStore& store;      // the current test; its own recording is the test recording
  CalibrationSet& calibration;  // the plate's calibration
  AppSettings& app;
  GraphSettings& graph;
  SubjectInfo& subject;
  ProgramPaths& paths;
  Recording& checkRecording;        // the live readout; stores nothing
  Recording& weightRecording;       // the weighing, with samples of its own
  Recording& calibrationRecording;  // the calibration steps, with samples of their own
};

}  // namespace velkora
