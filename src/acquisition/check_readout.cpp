#include "acquisition/check_readout.h"

#include <cstdio>

namespace velkora {

std::string formatKiloponds(int32_t count, float coefficient) {
  const double kiloponds = static_cast<double>(static_cast<float>(count) * coefficient) / 9.81;
  char text[64];  // "%6.1f" of any float fits
  std::snprintf(text, sizeof text, "%6.1f", kiloponds);
  return text;
}

bool CheckReadout::open(const AppSettings& settings) {
  // The recording is only prepared while no reader uses it.
  if (plate_.running()) return false;
  recording_.prepare(settings.portIndex, RecordingMode::Live, 0, calibration_);
  return plate_.start(recording_, {LinkUse::CheckReadout});
}

CheckValues CheckReadout::tick() {
  CheckValues values;
  values.vertical =
      formatKiloponds(recording_.liveVertical.load(std::memory_order_acquire), calibration_.coefficientVertical);
  values.horizontal =
      formatKiloponds(recording_.liveHorizontal.load(std::memory_order_acquire), calibration_.coefficientHorizontal);
  if (plate_.runningFor(recording_) && plate_.plateLost()) {
    values.plateLost = true;
    plate_.stopFor(recording_);
  }
  return values;
}

}  // namespace velkora
