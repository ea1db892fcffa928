#pragma once
// What a start of the plate link is for. The plate itself does not care; the simulated plate uses it
// to play the subject the operator would put on the plate at that moment.

#include <cstdint>

namespace velkora {

enum class LinkUse : int32_t {
  Unspecified = 0,
  ForceTest,
  PowerTest,
  Weighing,
  CheckReadout,
  CalibrationOffset,      // the unloaded plate
  CalibrationVertical,    // the calibration mass resting on the plate
  CalibrationHorizontal,  // the calibration mass pulling horizontally
};

struct LinkPurpose {
  LinkUse use = LinkUse::Unspecified;
  int32_t massKg = 0;       // the calibration mass of a weight step, as the operator entered it
  int32_t repetitions = 0;  // the repetition target of a force test by repetitions; 0 otherwise
};

}  // namespace velkora
