#pragma once
// The measurement data every part of the program shares: recordings, their sample buffers,
// calibration sets, the repetition table, the jump analysis series and the one current test. Plain
// records; the sample accessor forceAt lives with the acquisition (acquisition/measurement_store.h).
// Counts and flags that the reader thread and the user-interface thread both touch are
// std::atomic<int32_t>, written with release and read with acquire; sample entries are plain and are
// always written before the count that publishes them.

#include <atomic>
#include <cstdint>

namespace velkora {

inline constexpr int32_t kMaxSamples = 61000;   // 61 s at one sample per millisecond
inline constexpr int32_t kMaxRepetitions = 25;  // rows of the repetition table

enum class ForceChannel : int32_t {
  Vertical = 0,
  Horizontal = 1,
  Vector = 2,
  Velocity = 3,
  Displacement = 4,
  Power = 5,
};

enum class RecordingMode : int32_t { Timed = 0, Repetitions = 1, Live = 2 };

enum class TestKind : int32_t { Force = 0, Power = 1 };

// Offset-corrected counts of both channels, always the full capacity.
struct SampleBuffer {
  int32_t vertical[kMaxSamples];
  int32_t horizontal[kMaxSamples];
};

struct CalibrationSet {
  float offsetVertical = 148.0f;       // counts
  float offsetHorizontal = 2048.0f;    // counts; the horizontal channel is centred at mid-scale
  float coefficientVertical = 1.0f;    // newtons per count
  float coefficientHorizontal = 1.0f;  // newtons per count
};

// The request and running state of one acquisition.
struct Recording {
  int32_t portIndex = 0;  // 0..4 for COM1..COM5
  int32_t transport = 0;  // 0 = USB plate, anything else = serial port portIndex
  std::atomic<int32_t> stopped{0};
  std::atomic<int32_t> sampleCount{0};
  int32_t waitForStart = 0;
  RecordingMode mode = RecordingMode::Timed;
  int32_t limit = 0;  // samples (Timed) or repetitions (Repetitions)
  std::atomic<int32_t> waiting{0};
  std::atomic<int32_t> liveVertical{0};
  std::atomic<int32_t> liveHorizontal{0};
  SampleBuffer* samples = nullptr;
  int32_t offsetVertical = 0;
  int32_t offsetHorizontal = 0;
  int32_t startThreshold = 0;  // whole newtons, signed sum of both forces

  // Fills port, offsets (truncated toward zero) and mode for a new acquisition; leaves samples as is.
  void prepare(int32_t port, RecordingMode recordingMode, int32_t recordingLimit, const CalibrationSet& calibration,
               bool waitForStartForce = false, int32_t threshold = 0);
};

struct RepetitionTable {
  std::atomic<int32_t> count{0};  // completed repetitions, 0..25
  int32_t peakVertical[kMaxRepetitions] = {};
  int32_t meanVertical[kMaxRepetitions] = {};
  int32_t peakHorizontal[kMaxRepetitions] = {};
  int32_t meanHorizontal[kMaxRepetitions] = {};

  // The number of valid rows, never more than the table holds.
  int32_t rows() const;
};

// The events of the kinematics model of a power test, in sample indices; -1 where one does not exist.
struct JumpPhases {
  int32_t onset = -1;
  int32_t brakingStart = -1;     // a countermovement's lowest velocity
  int32_t propulsionStart = -1;  // the velocity back at 0, or the start of a push without a countermovement
  int32_t takeOff = -1;
  int32_t touchDown = -1;
  int32_t landingEnd = -1;  // the lowest point of the landing, where the model ends
};

// Derived series of the jump analysis of a power test. `analysed` says whether they describe the
// store's current data; the kinematic channels of forceAt read them only then. The kinematics model
// (reports/kinematics_model.h) fills the four channel series and the phases once per analysis, and
// only when the recording has one (`hasModel`); entries 0..n-1 then hold values.
struct JumpResults {
  float impulse[kMaxSamples];     // running impulse of the net force
  float impulseSum[kMaxSamples];  // running sum of the impulse
  int32_t peakIndex = 0;
  bool analysed = false;
  bool hasModel = false;
  JumpPhases phases;
  float velocity[kMaxSamples];      // m/s
  float displacement[kMaxSamples];  // cm
  float power[kMaxSamples];         // W
  float acceleration[kMaxSamples];  // m/s²
};

// The single current test.
struct MeasurementStore {
  Recording recording;  // the test recording; its samples point at `channels`
  SampleBuffer channels;
  std::atomic<int32_t> sampleCount{0};  // samples the rest of the program may read
  CalibrationSet calibration;           // the set in force when the data were recorded
  int32_t testTime = 0;                 // start of the test, seconds since 1970 (low 32 bits)
  RepetitionTable repetitions;
  float bodyWeight = 0.0f;  // kg, from the last body-weight measurement
  TestKind testKind = TestKind::Force;
  std::atomic<int32_t> recordingAvailable{0};
  std::atomic<int32_t> saved{1};
  JumpResults jump;

  MeasurementStore() { recording.samples = &channels; }
  MeasurementStore(const MeasurementStore&) = delete;
  MeasurementStore& operator=(const MeasurementStore&) = delete;

  // Prepares the store for a new test: takes the plate's calibration, marks the data unavailable,
  // stamps the start time and empties counts and the jump analysis. Call it before the link starts:
  // the reader thread may record the first frame as soon as the link runs, and must see the reset.
  void resetForNewTest(const CalibrationSet& currentCalibration, int64_t nowSeconds);
};

// A computed value cut toward zero to a whole number, as every conversion of computed values is.
// Values beyond the int32 range are clamped and NaN gives 0, so hostile calibration values from a
// file never make the conversion undefined.
inline int32_t truncateToInt(double value) {
  if (!(value == value)) return 0;
  if (value >= 2147483648.0) return INT32_MAX;
  if (value <= -2147483649.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The start time as seconds since 1970: the store and the files keep the low 32 bits, read as
// unsigned so times after January 2038 stay right (until 2106).
inline int64_t testTimeSeconds(int32_t testTime) { return static_cast<uint32_t>(testTime); }

}  // namespace velkora
