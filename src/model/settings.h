#pragma once
// Settings the program remembers between runs besides the plate's calibration.

#include <cstdint>

namespace velkora {

inline constexpr int32_t kAxisEntries = 7;  // curve parameters 0..5 and one spare entry

struct AppSettings {
  int32_t portIndex = 0;        // 0..4 for COM1..COM5
  int32_t forceTestValue = 10;  // seconds (time mode) or repetitions (repetition mode)
  int32_t startForce = 20;      // newtons
  int32_t forceTestMode = 0;    // 0 = time, 1 = repetitions
  int32_t powerTestTime = 5;    // seconds
};

struct GraphSettings {
  int32_t y1Parameter = 0;
  int32_t y2Parameter = 3;
  int32_t axisMin[kAxisEntries] = {0, -2000, -2000, -3, -50, 0, 0};
  int32_t axisMax[kAxisEntries] = {2000, 2000, 2000, 3, 50, 4000, 0};
  int32_t axisStep[kAxisEntries] = {400, 500, 500, 1, 10, 400, 0};  // below 1: automatic step
};

}  // namespace velkora
