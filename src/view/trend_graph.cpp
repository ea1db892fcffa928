#include "view/trend_graph.h"

#include <algorithm>
#include <cmath>

#include "view/graph_axis.h"
#include "view/graph_ticks.h"
#include "view/library_graph_frame.h"

namespace velkora {

int32_t bestTrendPoint(std::span<const TrendGraphPoint> points, bool lowerIsBetter) {
  int32_t best = -1;
  for (size_t k = 0; k < points.size(); ++k) {
    const double v = points[k].value;
    if (!std::isfinite(v)) continue;
    if (best < 0 ||
        (lowerIsBetter ? v < points[static_cast<size_t>(best)].value : v > points[static_cast<size_t>(best)].value))
      best = static_cast<int32_t>(k);
  }
  return best;
}

TrendGraphScales drawTrendGraph(DeviceContext& dc, const Rect& area, const TrendGraph& graph) {
  SavedTools saved(dc);
  const GraphFrame frame(dc, area);
  TrendGraphScales scales;
  scales.plot = frame.plot();

  std::vector<TrendGraphPoint> points;
  for (const TrendGraphPoint& p : graph.points)
    if (std::isfinite(p.value)) points.push_back(p);

  frame.title(graph.title);
  if (points.empty()) {
    frame.box();
    frame.centreText("no values");
    return scales;
  }

  // Time range: the points with a margin, a day either side of a single date.
  int64_t first = points.front().time, last = points.front().time;
  double low = points.front().value, high = low;
  for (const TrendGraphPoint& p : points) {
    first = std::min(first, p.time);
    last = std::max(last, p.time);
    low = std::min(low, p.value);
    high = std::max(high, p.value);
  }
  const int64_t margin = last > first ? std::max<int64_t>((last - first) / 25, 1) : 86400;
  scales.firstTime = first - margin;
  scales.lastTime = last + margin;
  const NiceAxis axis = niceAxis(low, high, frame.valueTickLimit());
  scales.minValue = axis.min;
  scales.maxValue = axis.max;

  const auto x = [&](int64_t time) {
    return frame.xAt(static_cast<double>(time - scales.firstTime) /
                     static_cast<double>(scales.lastTime - scales.firstTime));
  };
  const auto y = [&](double value) { return frame.yAt((value - axis.min) / (axis.max - axis.min)); };

  frame.valueTicks(axis, y);
  const std::vector<DateTick> ticks = dateTicks(scales.firstTime, scales.lastTime, frame.dateTickLimit());
  for (const DateTick& tick : ticks) frame.timeTick(x(tick.time), tick.label);
  frame.box();

  for (const TrendGraphPoint& p : points) scales.points.push_back({x(p.time), y(p.value)});
  dc.setPen(frame.scaled(kTrendLinePen));
  if (scales.points.size() > 1) dc.polyline(scales.points);
  dc.setBrush(Brush::of(kTrendLinePen.color));
  dc.setPen(Pen{kTrendLinePen.color, 1});
  for (const Point& p : scales.points) dc.rectangle(frame.marker(p, 3));

  scales.best = bestTrendPoint(points, graph.lowerIsBetter);
  if (scales.best >= 0) {
    const Point at = scales.points[static_cast<size_t>(scales.best)];
    dc.setPen(frame.scaled(Pen{kTrendBestColor, 2}));
    dc.setBrush(Brush::none());
    dc.rectangle(frame.marker(at, 7));
    dc.setTextColor(kTrendBestColor);
    frame.labelBeside(at, "best " + formatAxisNumber(points[static_cast<size_t>(scales.best)].value, graph.decimals));
  }
  return scales;
}

}  // namespace velkora
