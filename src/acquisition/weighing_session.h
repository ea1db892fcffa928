#pragma once
// The body-weight measurement that opens a power test: 2020 samples of the subject standing still,
// watched by the caller's 50 ms timer. It gives up after 5 s without its samples, or when the plate
// goes away; Go may then be pressed again. The link is stopped on every way out.

#include <chrono>
#include <cstdint>
#include <string_view>

#include "acquisition/measurement_store.h"
#include "acquisition/plate_system.h"
#include "model/settings.h"

namespace velkora {

inline constexpr std::chrono::milliseconds kWeighingTickInterval{50};
// More ticks than this without the 2020 samples (5 s at 50 ms) and the measurement gives up.
inline constexpr int32_t kWeighingGiveUpTicks = 100;

inline constexpr std::string_view kWeighingInstruction =
    "Stand on to the plate. Do not move.\nOperator click Go button.";
inline constexpr std::string_view kWeighingDoneInstruction = "Press OK to start test";

enum class WeighingStatus : int32_t { NotDone = 0, InProgress, Done, Error };

// "Not done", "In progress", "Done", "Error".
std::string_view weighingStatusText(WeighingStatus status);

struct WeighingTick {
  int32_t progress = 0;  // progress bar position, 0 .. kWeighingSamples
  WeighingStatus status = WeighingStatus::NotDone;
  bool ended = false;  // this tick ended the measurement (Done or Error): stop the timer
};

class WeighingSession {
 public:
  WeighingSession(PlateSystem& plate, Recording& weightRecording, const CalibrationSet& currentCalibration)
      : plate_(plate), recording_(weightRecording), calibration_(currentCalibration) {}
  ~WeighingSession() { cancel(); }
  WeighingSession(const WeighingSession&) = delete;
  WeighingSession& operator=(const WeighingSession&) = delete;

  // The dialog opens: "Not done", nothing measured; one measurement per opening.
  void open();
  // Go (offered while goEnabled()): prepares the weighing recording, which must have its own sample
  // buffer, and starts the link. False means "Error in communication"; nothing changes and Go stays
  // enabled.
  bool go(const AppSettings& settings);
  WeighingTick tick();
  // Cancel, Escape, the close box: a measurement in progress is abandoned.
  void cancel();

  WeighingStatus status() const { return status_; }
  std::string_view statusText() const { return weighingStatusText(status_); }
  std::string_view instruction() const {
    return status_ == WeighingStatus::Done ? kWeighingDoneInstruction : kWeighingInstruction;
  }
  bool goEnabled() const { return status_ == WeighingStatus::NotDone || status_ == WeighingStatus::Error; }
  bool okEnabled() const { return status_ == WeighingStatus::Done; }
  // The body weight in kilograms once Done; the power test's start puts it into the store, so a
  // weighing that is not followed by a test leaves the current recording's weight alone.
  float bodyWeight() const { return bodyWeight_; }

 private:
  WeighingTick end(WeighingStatus status);

  PlateSystem& plate_;
  Recording& recording_;
  const CalibrationSet& calibration_;
  WeighingStatus status_ = WeighingStatus::NotDone;
  int32_t ticks_ = 0;
  float bodyWeight_ = 0.0f;
};

}  // namespace velkora
