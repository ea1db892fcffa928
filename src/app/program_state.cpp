#include "app/program_state.h"

namespace velkora::program {

MeasurementStore measurementStore;
CalibrationSet currentCalibration;
AppSettings appSettings;
GraphSettings graphSettings;
SubjectInfo subjectInfo;
SampleBuffer calibrationSamples;
SampleBuffer weightSamples;
Recording checkRecording;
Recording calibrationRecording{.samples = &calibrationSamples};
Recording weightRecording{.samples = &weightSamples};

}  // namespace velkora::program
