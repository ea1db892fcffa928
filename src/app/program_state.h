#pragma once
// The program's one instance of each shared record, in static storage for the whole run.
// Only the programs' entry points and the user interface reach for these; everything else receives
// the records it works on by reference, so tests build their own.

#include "acquisition/measurement_store.h"
#include "app/settings.h"
#include "storage/subject_info.h"

namespace velkora::program {

extern MeasurementStore measurementStore;  // its `recording` is the test recording
extern CalibrationSet currentCalibration;  // the plate's calibration
extern AppSettings appSettings;
extern GraphSettings graphSettings;
extern SubjectInfo subjectInfo;
extern Recording checkRecording;        // live readout, stores nothing
extern Recording calibrationRecording;  // uses calibrationSamples
extern Recording weightRecording;       // uses weightSamples
extern SampleBuffer calibrationSamples;
extern SampleBuffer weightSamples;

}  // namespace velkora::program
