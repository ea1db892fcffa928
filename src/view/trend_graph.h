#pragma once
// The trend graph of the subject library: one metric of one subject over the dates of the tests, the
// points joined by lines, a date axis with ticks at whole hours, days, weeks, months or years, and the
// best value marked. Drawn on the screen (pixels, y down) and on paper (0.1 mm, y up) alike.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "view/device_context.h"

namespace velkora {

struct TrendGraphPoint {
  int64_t time = 0;  // seconds since 1970
  double value = 0.0;
};

struct TrendGraph {
  std::string title;                    // e.g. "Anna Meier: jumpHeightTakeoffVelocity_cm"
  std::vector<TrendGraphPoint> points;  // oldest first; values that are not finite are left out
  bool lowerIsBetter = false;           // times and durations: the smallest value is the best
  int32_t decimals = 2;                 // of the value printed beside the best point
};

inline constexpr Pen kTrendLinePen{kBlue, 2};
inline constexpr Rgb kTrendBestColor{220, 0, 0};

// The best point: the highest value (the lowest when lower is better), the earliest of equal ones;
// -1 when there is none.
int32_t bestTrendPoint(std::span<const TrendGraphPoint> points, bool lowerIsBetter);

// Where a drawing put things, for the mouse and for tests.
struct TrendGraphScales {
  Rect plot;
  int64_t firstTime = 0;      // at plot.left
  int64_t lastTime = 0;       // at plot.right
  double minValue = 0.0;      // at plot.bottom
  double maxValue = 0.0;      // at plot.top
  std::vector<Point> points;  // where each shown point was drawn
  int32_t best = -1;
};

// Draws the graph into `area`; leaves the tools as it found them.
TrendGraphScales drawTrendGraph(DeviceContext& dc, const Rect& area, const TrendGraph& graph);

}  // namespace velkora
