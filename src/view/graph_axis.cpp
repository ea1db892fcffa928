#include "view/graph_axis.h"

#include <algorithm>

namespace velkora {

int32_t shownParameter(int32_t parameter) { return std::clamp(parameter, 0, kGraphParameters - 1); }

GraphAxis graphAxis(const GraphSettings& settings, int32_t parameter) {
  GraphAxis axis;
  axis.parameter = shownParameter(parameter);
  const auto p = static_cast<size_t>(axis.parameter);
  axis.min = settings.axisMin[p];
  axis.max = settings.axisMax[p];
  axis.step = settings.axisStep[p];
  if (axis.step < 1) {
    const int64_t tenth = (static_cast<int64_t>(axis.max) - axis.min) / 10;
    axis.step = static_cast<int32_t>(std::clamp<int64_t>(tenth, 1, INT32_MAX));
  }
  return axis;
}

double axisScale(const GraphAxis& axis, int32_t top, int32_t bottom) {
  if (axis.min >= axis.max) return 0.0;
  return static_cast<double>(bottom - top) / static_cast<double>(static_cast<int64_t>(axis.max) - axis.min);
}

int32_t axisTickY(int64_t value, const GraphAxis& axis, double scale, int32_t bottom) {
  return bottom - truncateToInt(static_cast<double>(value - axis.min) * scale);
}

}  // namespace velkora
