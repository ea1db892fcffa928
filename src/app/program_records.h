#pragma once
// One instance of every shared record. Each program's main function keeps one in static storage for
// the whole run and hands out its SharedRecords; a test makes its own (on the heap: it holds several
// full sample buffers).

#include "acquisition/measurement_store.h"
#include "model/shared_records.h"

namespace velkora {

struct ProgramRecords {
  MeasurementStore store;
  CalibrationSet calibration;
  AppSettings app;
  GraphSettings graph;
  SubjectInfo subject;
  ProgramPaths paths;
  SampleBuffer weightSamples;
  SampleBuffer calibrationSamples;
  Recording checkRecording;
  Recording weightRecording{.samples = &weightSamples};
  Recording calibrationRecording{.samples = &calibrationSamples};

  ProgramRecords() = default;
  ProgramRecords(const ProgramRecords&) = delete;
  ProgramRecords& operator=(const ProgramRecords&) = delete;

  SharedRecords shared() {
    return {store, calibration, app, graph, subject, paths, checkRecording, weightRecording, calibrationRecording};
  }
};

}  // namespace velkora
