#pragma once
// The check readout: the force on the plate at this moment, vertical and horizontal, in kiloponds,
// refreshed by the caller's 100 ms timer. The link runs from open() until close() (or the end of the
// object), whichever way the dialog is left.

#include <chrono>
#include <string>

#include "acquisition/measurement_store.h"
#include "acquisition/plate_system.h"
#include "model/settings.h"

namespace velkora {

inline constexpr std::chrono::milliseconds kCheckTickInterval{100};

// A live count as the readout shows it: count × coefficient / 9.81 with "%6.1f" (the C locale's
// decimal mark, which follows the user's once the program has set LC_NUMERIC).
std::string formatKiloponds(int32_t count, float coefficient);

struct CheckValues {
  std::string vertical;
  std::string horizontal;
  bool plateLost = false;  // the plate went away since the last tick: show "Error in communication" once
};

class CheckReadout {
 public:
  CheckReadout(PlateSystem& plate, Recording& checkRecording, const CalibrationSet& currentCalibration)
      : plate_(plate), recording_(checkRecording), calibration_(currentCalibration) {}
  ~CheckReadout() { close(); }
  CheckReadout(const CheckReadout&) = delete;
  CheckReadout& operator=(const CheckReadout&) = delete;

  // Prepares the live recording and starts the link; false means "Error in communication", and the
  // readout then shows what the recording last held.
  bool open(const AppSettings& settings);
  CheckValues tick();
  void close() { plate_.stopFor(recording_); }

 private:
  PlateSystem& plate_;
  Recording& recording_;
  const CalibrationSet& calibration_;
};

}  // namespace velkora
