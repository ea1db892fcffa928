#pragma once
// The calibration procedure: three steps, each a 40-sample recording watched by the caller's 50 ms
// timer. The offset step (plate unloaded) gives both zero offsets; the vertical and the horizontal
// step (a known mass on the plate) give the coefficients. Results stay pending until OK, which
// applies exactly the steps completed since the procedure was opened, in whatever order they ran.

#include <chrono>
#include <cstdint>
#include <string_view>

#include "acquisition/measurement_store.h"
#include "acquisition/plate_system.h"
#include "model/settings.h"

namespace velkora {

inline constexpr std::chrono::milliseconds kCalibrationTickInterval{50};
inline constexpr int32_t kCalibrationSamples = 40;
inline constexpr int32_t kCalibrationFirst = 10;  // samples 10..29 are used, the first and last ten not
inline constexpr int32_t kCalibrationUsed = 20;
inline constexpr int32_t kCalibrationGiveUpTicks = 50;   // the 51st tick without 40 samples gives up
inline constexpr int32_t kDefaultCalibrationWeight = 5;  // kg, the weight field when the dialog opens

// The sum of samples 10..29 of one channel, in 64 bits so that no stored count can overflow it.
int64_t calibrationWindowSum(const int32_t* channel);
// A zero offset from the window sum: the mean in double precision, kept as float with its fraction.
float offsetFromWindowSum(int64_t sum);
// Newtons per count from a mass of `weightKg` and the window sum: weight × 9.81f (widened) / mean,
// the mean rounded to float first; a zero mean keeps `currentCoefficient`.
float coefficientFromWindowSum(int32_t weightKg, int64_t sum, float currentCoefficient);

enum class CalibrationStep : int32_t { Offset = 0, Vertical = 1, Horizontal = 2 };
inline constexpr int32_t kCalibrationSteps = 3;

enum class StepStatus : int32_t { NotDone = 0, InProgress, Done, Error };
// "Not done", "In progress", "Done", "Error".
std::string_view stepStatusText(StepStatus status);

struct PendingCalibration {
  float offsetVertical = 0.0f;
  float offsetHorizontal = 0.0f;
  float coefficientVertical = 0.0f;
  float coefficientHorizontal = 0.0f;
};

enum class GoResult : int32_t {
  Started = 0,
  CommunicationError,  // "Error in communication": the link did not start (or one runs already)
  WeightOutOfRange,    // "Please enter an integer between 5 and 260."; nothing started
  NotOffered,          // the step's Go button is disabled
};

struct CalibrationTick {
  CalibrationStep step = CalibrationStep::Offset;  // the running step
  int32_t progress = 0;                            // progress bar position, 0 .. kCalibrationSamples
  StepStatus status = StepStatus::NotDone;
  bool ended = false;  // this tick ended the step (Done or Error): stop its timer
};

class CalibrationProcedure {
 public:
  CalibrationProcedure(PlateSystem& plate, Recording& calibrationRecording, CalibrationSet& currentCalibration)
      : plate_(plate), recording_(calibrationRecording), current_(currentCalibration) {}
  ~CalibrationProcedure() { plate_.stopFor(recording_); }
  CalibrationProcedure(const CalibrationProcedure&) = delete;
  CalibrationProcedure& operator=(const CalibrationProcedure&) = delete;

  // The dialog opens: every step "Not done" with its Go enabled, OK disabled, the pending offsets
  // taken from the plate's calibration, nothing completed.
  void open();
  // Go of a step. The weight steps check `weightKg` (5..260) first; the offset step ignores it.
  GoResult go(CalibrationStep step, int32_t weightKg, const AppSettings& settings);
  // The running step's tick; does nothing when no step runs.
  CalibrationTick tick();
  // OK: false, with nothing changed, when `weightKg` (the field, validated once more) is out of range.
  // Otherwise stops the link and applies the steps completed since open(). The caller then saves
  // the configuration.
  bool ok(int32_t weightKg);
  // Cancel, Escape, the close box: the plate's calibration keeps its values.
  void cancel() { endRun(); }

  StepStatus status(CalibrationStep step) const { return status_[index(step)]; }
  std::string_view statusText(CalibrationStep step) const { return stepStatusText(status(step)); }
  bool goEnabled(CalibrationStep step) const { return goEnabled_[index(step)]; }
  bool okEnabled() const { return okEnabled_; }
  bool completed(CalibrationStep step) const { return completed_[index(step)]; }
  // The step that completed last: -1 none, 0 offset, 1 vertical, 2 horizontal.
  int32_t stepReached() const { return stepReached_; }
  const PendingCalibration& pending() const { return pending_; }

 private:
  static int32_t index(CalibrationStep step) { return static_cast<int32_t>(step); }
  CalibrationTick endStep(StepStatus status);
  void endRun();

  PlateSystem& plate_;
  Recording& recording_;
  CalibrationSet& current_;
  PendingCalibration pending_;
  StepStatus status_[kCalibrationSteps] = {};
  bool goEnabled_[kCalibrationSteps] = {true, true, true};
  bool completed_[kCalibrationSteps] = {};
  bool okEnabled_ = false;
  int32_t stepReached_ = -1;
  bool running_ = false;
  CalibrationStep step_ = CalibrationStep::Offset;
  int32_t weight_ = kDefaultCalibrationWeight;  // kg, as validated when the running step started
  int32_t ticks_ = 0;
};

}  // namespace velkora
