#pragma once
// The vertical axes of the curve and bar graphs: limits and tick step of a parameter, the clamping of
// values to the axis, the positions of values and ticks in a plot rectangle, and the graphs' pens.

#include <cstdint>

#include "acquisition/measurement_store.h"
#include "model/settings.h"
#include "view/device_context.h"

namespace velkora {

// Pens of the graphs: Y1 quantities blue, Y2 quantities red, frames and cursors black.
inline constexpr Pen kY1Pen{kBlue, 1};
inline constexpr Pen kY2Pen{kRed, 1};
inline constexpr Pen kFramePen{kBlack, 1};

inline constexpr int32_t kGraphParameters = 6;  // parameters 0..5 can be shown
// More ticks than this (only from absurd axis settings) are thinned to a coarser step, so a hostile
// configuration file can neither hang the drawing nor overflow the tick values.
inline constexpr int64_t kMaxAxisTicks = 1000;

struct GraphAxis {
  int32_t parameter = 0;
  int32_t min = 0;
  int32_t max = 0;
  int32_t step = 1;  // automatic when the settings hold a step below 1
};

// A shown parameter kept within 0..5, so it always names an axis entry and a channel.
int32_t shownParameter(int32_t parameter);

// The axis of a parameter: the settings' limits and step; a step below 1 becomes a tenth of the range
// in integer division, and at least 1.
GraphAxis graphAxis(const GraphSettings& settings, int32_t parameter);

// Device units per unit of the quantity: (bottom - top) / (max - min); 0 for an axis whose minimum
// is not below its maximum, on which nothing can be placed.
double axisScale(const GraphAxis& axis, int32_t top, int32_t bottom);

// A value limited to the axis: above max becomes max, then below min becomes min.
inline float clampToAxis(float value, const GraphAxis& axis) {
  if (value > static_cast<float>(axis.max)) value = static_cast<float>(axis.max);
  if (value < static_cast<float>(axis.min)) value = static_cast<float>(axis.min);
  return value;
}

// y of a value (single-precision difference to the minimum, as the recorded forces are) and of a
// whole number (a tick): bottom - trunc((v - min) * scale).
inline int32_t axisY(float value, const GraphAxis& axis, double scale, int32_t bottom) {
  const float fromMin = value - static_cast<float>(axis.min);
  return bottom - truncateToInt(static_cast<double>(fromMin) * scale);
}
int32_t axisTickY(int64_t value, const GraphAxis& axis, double scale, int32_t bottom);

// Calls tick(v) for v = min, min + step, ... while v <= max, nothing when max < min; steps coarser
// than asked once the axis would have more than kMaxAxisTicks ticks.
template <typename Tick>
void forEachAxisTick(const GraphAxis& axis, Tick tick) {
  if (axis.max < axis.min) return;
  const int64_t range = static_cast<int64_t>(axis.max) - axis.min;
  int64_t step = axis.step;
  if (range / step >= kMaxAxisTicks) step = range / (kMaxAxisTicks - 1) + 1;
  for (int64_t v = axis.min; v <= axis.max; v += step) tick(v);
}

}  // namespace velkora
