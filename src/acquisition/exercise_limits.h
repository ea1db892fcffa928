#pragma once
// The ranges the test parameters accept, as the dialogs validate them and the sessions enforce them.

#include <cstdint>

#include "acquisition/measurement_store.h"
#include "model/range.h"
#include "model/settings.h"

namespace velkora {

inline constexpr int32_t kTimeMode = 0;
inline constexpr int32_t kRepetitionMode = 1;

// Seconds in time mode; repetitions in repetition mode, no more than the repetition table holds.
inline constexpr Range kForceTestSeconds{1, 60};
inline constexpr Range kForceTestRepetitions{1, kMaxRepetitions};
inline constexpr Range kStartForce{0, 6000};  // N
// A power test of 0 s would record nothing; 61 s is the recorder's capacity.
inline constexpr Range kPowerTestSeconds{1, kMaxSamples / 1000};
inline constexpr Range kCalibrationWeight{5, 260};  // kg

constexpr Range forceTestValueRange(int32_t forceTestMode) {
  return forceTestMode == kRepetitionMode ? kForceTestRepetitions : kForceTestSeconds;
}

// Whether the settings describe a force test the program can run: a known mode, a value and a
// start force in range.
constexpr bool forceTestSettingsValid(const AppSettings& s) {
  return (s.forceTestMode == kTimeMode || s.forceTestMode == kRepetitionMode) &&
         forceTestValueRange(s.forceTestMode).contains(s.forceTestValue) && kStartForce.contains(s.startForce);
}

constexpr bool powerTestSettingsValid(const AppSettings& s) { return kPowerTestSeconds.contains(s.powerTestTime); }

}  // namespace velkora
