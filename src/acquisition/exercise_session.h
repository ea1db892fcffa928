#pragma once
// The rules of a force test (time or repetition mode) and a power test, without any window: the
// start, the progress tick, the end with its flags, the smoothing of a power test, STOP and a lost
// plate. The program's use cases (app/exercise_use_cases.h) drive it from the window's 100 ms timer
// and from velkora-cli's loop, and analyse a jump once it has ended.

#include <chrono>
#include <cstdint>
#include <functional>

#include "acquisition/measurement_store.h"
#include "acquisition/plate_system.h"
#include "acquisition/repetition_rule.h"
#include "model/settings.h"

namespace velkora {

inline constexpr std::chrono::milliseconds kTestTickInterval{100};

enum class StartResult : int32_t {
  Started = 0,
  CommunicationError,  // the link could not start (or one already runs): "Error in communication"
  InvalidParameters,   // the settings are outside the ranges of exercise_limits.h; nothing started
};

enum class TestEnd : int32_t {
  None = 0,   // still running (or nothing ran)
  Finished,   // the recording reached its limit: recordingAvailable 1, saved 0
  Stopped,    // STOP: recordingAvailable 1, saved 0 when a sample was recorded (else as it was)
  PlateLost,  // the plate went away: as STOP, and the caller shows "Error in communication"
};

// The repetition in progress of a repetition-mode test, for its live bars: running peaks and the
// newest sample's forces, in newtons with the plate's coefficients.
struct RepetitionInProgress {
  int32_t index = 0;  // row (slot index + 1 is its repetition number); no slot when >= the target
  float peakVertical = 0.0f;
  float currentVertical = 0.0f;
  float peakHorizontal = 0.0f;
  float currentHorizontal = 0.0f;
};

struct TestTick {
  int32_t sampleCount = 0;  // the count this tick published as the store's sampleCount
  // Live curve: draw the segment from sample i - 1 to sample i for every i in (drawFrom, drawTo];
  // nothing when drawTo <= drawFrom.
  int32_t drawFrom = 0;
  int32_t drawTo = 0;
  bool waitingForStartForce = false;
  // Repetition mode: completed repetitions shown (the view's liveBarsDrawn). When redrawBars is set
  // a repetition completed since the last tick and the whole bar graph is drawn; otherwise the bars
  // of `inProgress` are drawn in its slot.
  int32_t repetitionsDrawn = 0;
  bool redrawBars = false;
  RepetitionInProgress inProgress;
  TestEnd end = TestEnd::None;  // set by the tick that ended the test
};

// Seconds since 1970 for the test's time stamp.
using SecondsClock = std::function<int64_t()>;
int64_t systemClockSeconds();

class ExerciseSession {
 public:
  ExerciseSession(PlateSystem& plate, MeasurementStore& store, const CalibrationSet& currentCalibration,
                  SecondsClock clock = systemClockSeconds);
  ~ExerciseSession();
  ExerciseSession(const ExerciseSession&) = delete;
  ExerciseSession& operator=(const ExerciseSession&) = delete;

  // Starts a force test with the settings' mode, value, start force and port. The link opens the
  // transport, then the store is reset for the new test, then the reader starts. A start that fails
  // leaves the store exactly as it was.
  StartResult startForceTest(const AppSettings& settings);
  // Starts a power test of settings.powerTestTime seconds from the first frame; `bodyWeightKg` (the
  // weighing's result) becomes the store's body weight once the test has started.
  StartResult startPowerTest(const AppSettings& settings, float bodyWeightKg);

  // The progress tick, every kTestTickInterval while running(): publishes the count, reports what to
  // draw, and ends the test when the recording stopped or the plate went away.
  TestTick tick();
  // STOP: ends a running test, keeping what was recorded; a power test is smoothed.
  TestEnd stop();

  bool running() const { return running_; }
  bool countsRepetitions() const { return repetitionMode_; }
  TestKind kind() const { return kind_; }
  // The recording's target: seconds × 1000 samples, or repetitions.
  int32_t target() const { return store_.recording.limit; }

 private:
  StartResult start(TestKind kind, const AppSettings& settings, float bodyWeightKg);
  void followRepetition(int32_t to);
  TestEnd finish(TestEnd how);

  PlateSystem& plate_;
  MeasurementStore& store_;
  const CalibrationSet& currentCalibration_;
  SecondsClock clock_;
  bool running_ = false;
  bool repetitionMode_ = false;
  TestKind kind_ = TestKind::Force;
  int32_t repetitionsDrawn_ = 0;
  // The repetition in progress, followed from the published samples by the recorder's own rule.
  int32_t followed_ = 0;             // samples looked at
  int32_t followedRepetitions_ = 0;  // repetitions that ended in them
  RepetitionTracker following_;
};

// The value a live curve draws for sample `index` of graph parameter `parameter`: forceAt clamped to
// the parameter's axis (above the maximum the maximum, then below the minimum the minimum).
float liveCurveValue(const MeasurementStore& store, int32_t index, int32_t parameter, const GraphSettings& graph);

}  // namespace velkora
