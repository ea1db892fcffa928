#include "view/curve_graph.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <vector>

#include "view/graph_parameter_titles.h"

namespace velkora {
namespace {

inline constexpr int32_t kLastSample = kMaxSamples - 1;

int32_t sampleIndex(int32_t index) { return std::clamp(index, 0, kLastSample); }

std::string formatInt(const char* format, int32_t value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string formatFloat(const char* format, float value) {
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<double>(value));
  return text;
}

// Positions of samples and clamped values in the plot of a drawing.
class CurveMapping {
 public:
  CurveMapping(const MeasurementStore& store, const CurveScales& scales) : store_(store), scales_(scales) {}

  // Positions in steps of 1 / `steps` of a logical unit (1: the logical grid itself).
  int32_t x(int32_t sample, int32_t steps = 1) const {
    return scales_.plot.left * steps + truncateToInt((sample - scales_.windowStart) * scales_.xScale * steps);
  }
  int32_t y(int32_t sample, const GraphAxis& axis, double scale, int32_t steps = 1) const {
    return axisY(clampToAxis(value(sample, axis.parameter), axis), axis, scale * steps, scales_.plot.bottom * steps);
  }
  // forceAt, with the two plain channels computed here: a full drawing reads 122000 values.
  float value(int32_t sample, int32_t parameter) const {
    const auto index = static_cast<size_t>(sample);
    if (parameter == 0)
      return static_cast<float>(store_.channels.vertical[index]) * store_.calibration.coefficientVertical;
    if (parameter == 1)
      return static_cast<float>(store_.channels.horizontal[index]) * store_.calibration.coefficientHorizontal;
    return forceAt(store_, sample, static_cast<ForceChannel>(parameter));
  }
  int32_t y1(int32_t sample, int32_t steps = 1) const { return y(sample, scales_.y1Axis, scales_.y1Scale, steps); }
  int32_t y2(int32_t sample, int32_t steps = 1) const { return y(sample, scales_.y2Axis, scales_.y2Scale, steps); }
  Point y1Point(int32_t sample, int32_t steps = 1) const { return {x(sample, steps), y1(sample, steps)}; }
  Point y2Point(int32_t sample, int32_t steps = 1) const { return {x(sample, steps), y2(sample, steps)}; }

 private:
  const MeasurementStore& store_;
  const CurveScales& scales_;
};

// Builds a polyline that keeps, per pixel column, the first, lowest, highest and last point of the
// samples falling into it. Within a column every segment is vertical, so these four cover the same
// pixels as all of them; the step to the next column is a real segment between neighbouring samples.
class ColumnPath {
 public:
  explicit ColumnPath(std::vector<Point>& points) : points_(points) {}

  void add(Point p) {
    if (empty_ || p.x != x_) {
      flush();
      empty_ = false;
      x_ = p.x;
      first_ = low_ = high_ = last_ = p.y;
      lowAt_ = highAt_ = index_ = 0;
      return;
    }
    ++index_;
    if (p.y < low_) low_ = p.y, lowAt_ = index_;
    if (p.y > high_) high_ = p.y, highAt_ = index_;
    last_ = p.y;
  }

  void flush() {
    if (empty_) return;
    emit(first_);
    if (lowAt_ < highAt_) {
      emit(low_);
      emit(high_);
    } else {
      emit(high_);
      emit(low_);
    }
    emit(last_);
  }

 private:
  void emit(int32_t y) {
    const Point p{x_, y};
    if (points_.empty() || !(points_.back() == p)) points_.push_back(p);
  }

  std::vector<Point>& points_;
  bool empty_ = true;
  int32_t x_ = 0;
  int32_t first_ = 0, low_ = 0, high_ = 0, last_ = 0;
  int32_t lowAt_ = 0, highAt_ = 0, index_ = 0;
};

// Draws a curve on the logical grid, or finer where the device context offers finer steps.
void drawCurve(DeviceContext& dc, std::span<const Point> points, int32_t steps) {
  if (steps > 1)
    dc.finePolyline(points);
  else
    dc.polyline(points);
}

// The curves of samples first .. last: Y1 in blue, then Y2 in red over it.
void drawCurves(DeviceContext& dc, const MeasurementStore& store, const CurveScales& scales, int32_t first,
                int32_t last, CurveDrawing drawing) {
  const bool drawY1 = scales.y1Scale != 0.0;
  const bool drawY2 = scales.y2Scale != 0.0;
  if (scales.xScale == 0.0 || (!drawY1 && !drawY2) || last <= first) return;
  const CurveMapping map(store, scales);
  // A screen of device pixel ratio 2 places the curves on its own pixels, without the steps of the
  // logical grid.
  const int32_t steps = std::max(1, dc.curveSubdivision());

  if (drawing == CurveDrawing::Segments) {
    Point previous1 = map.y1Point(first, steps);
    Point previous2 = map.y2Point(first, steps);
    for (int32_t i = first + 1; i <= last; ++i) {
      const Point point1 = map.y1Point(i, steps);
      const Point point2 = map.y2Point(i, steps);
      if (drawY1) {
        dc.setPen(kY1Pen);
        if (steps > 1)
          dc.finePolyline(std::array{previous1, point1});
        else
          dc.line(previous1, point1);
      }
      if (drawY2) {
        dc.setPen(kY2Pen);
        if (steps > 1)
          dc.finePolyline(std::array{previous2, point2});
        else
          dc.line(previous2, point2);
      }
      previous1 = point1;
      previous2 = point2;
    }
    return;
  }

  const int64_t columns = (std::abs(static_cast<int64_t>(scales.plot.right) - scales.plot.left) + 2) * steps;
  const size_t reserve = static_cast<size_t>(4 * std::min<int64_t>(last - first + 1, columns));
  std::vector<Point> points1;
  std::vector<Point> points2;
  if (drawY1) points1.reserve(reserve);
  if (drawY2) points2.reserve(reserve);
  ColumnPath path1(points1);
  ColumnPath path2(points2);
  for (int32_t i = first; i <= last; ++i) {
    const int32_t x = map.x(i, steps);
    if (drawY1) path1.add({x, map.y1(i, steps)});
    if (drawY2) path2.add({x, map.y2(i, steps)});
  }
  path1.flush();
  path2.flush();
  if (drawY1) {
    dc.setPen(kY1Pen);
    drawCurve(dc, points1, steps);
  }
  if (drawY2) {
    dc.setPen(kY2Pen);
    drawCurve(dc, points2, steps);
  }
}

// The phase events of the kinematics model with their labels, and the shade of the band that starts
// at each: unweighting, braking, propulsion, flight, landing.
struct PhaseMark {
  int32_t sample;
  const char* label;
  Rgb band;
};
inline constexpr Pen kPhasePen{{128, 128, 128}, 1};
inline constexpr Rgb kPhaseText{80, 80, 80};

// Bands from each event to the next one, cut to the window; drawn first, so everything else lies on them.
void drawPhaseBands(DeviceContext& dc, const CurveScales& scales, const CurveMapping& map,
                    std::span<const PhaseMark> marks) {
  const int32_t s = scales.windowStart, e = scales.windowEnd;
  for (size_t k = 0; k + 1 < marks.size(); ++k) {
    if (marks[k].sample < 0) continue;
    size_t next = k + 1;
    while (next < marks.size() && marks[next].sample < 0) ++next;
    if (next == marks.size()) break;
    const int32_t from = std::max(marks[k].sample, s), to = std::min(marks[next].sample, e);
    if (to <= from) continue;
    dc.fillRect({map.x(from), scales.plot.top, map.x(to), scales.plot.bottom}, marks[k].band);
  }
}

// A thin line at each event inside the window and its label at the top of the plot, on two rows taking
// turns so that close events keep their labels apart.
void drawPhaseLines(DeviceContext& dc, const CurveScales& scales, const CurveMapping& map,
                    std::span<const PhaseMark> marks, bool paper) {
  dc.setPen(kPhasePen);
  dc.setTextColor(kPhaseText);
  const int32_t b = scales.plot.top, d = scales.plot.bottom;
  for (size_t k = 0; k < marks.size(); ++k) {
    const int32_t sample = marks[k].sample;
    if (sample < scales.windowStart || sample > scales.windowEnd) continue;
    const int32_t x = map.x(sample);
    dc.line({x, b}, {x, d});
    const int32_t row = static_cast<int32_t>(k % 2);
    const Rect label = paper ? Rect{x + 10, b - 10 - 45 * row, x + 600, b - 50 - 45 * row}
                             : Rect{x + 3, b + 2 + 14 * row, x + 100, b + 15 + 14 * row};
    dc.text(label, marks[k].label, TextAlign::Left);
  }
}

}  // namespace

CurveScales drawCurveGraph(DeviceContext& dc, const Rect& area, const MeasurementStore& store,
                           const GraphSettings& settings, const CurveGraphView& view, CurveDrawing drawing) {
  SavedTools saved(dc);
  const bool paper = dc.isPrinting();
  dc.setPen(kFramePen);

  const int32_t a = area.left, b = area.top, c = area.right, d = area.bottom;
  const int32_t s = sampleIndex(view.windowStart);
  const int32_t e = sampleIndex(view.windowEnd);
  const int32_t timeStep = std::max(1, (e - s) / 10);

  CurveScales scales;
  scales.plot = area;
  scales.windowStart = s;
  scales.windowEnd = e;
  scales.y1Axis = graphAxis(settings, view.y1Shown);
  scales.y2Axis = graphAxis(settings, view.y2Shown);
  // A window of a single sample has no time scale and an axis without range no value scale: the
  // frame and the labels that can be placed are drawn, the curves are not.
  scales.xScale = e > s ? static_cast<double>(c - a) / (e - s) : 0.0;
  scales.y1Scale = axisScale(scales.y1Axis, b, d);
  scales.y2Scale = axisScale(scales.y2Axis, b, d);
  const GraphAxis& axis1 = scales.y1Axis;
  const GraphAxis& axis2 = scales.y2Axis;
  const CurveMapping map(store, scales);

  // A live test has no analysis yet; a finished one is drawn with the phases of its model.
  const JumpResults& jump = store.jump;
  const bool phases = view.showPhases && !view.live && store.testKind == TestKind::Power && jump.analysed &&
                      jump.hasModel && scales.xScale != 0.0;
  const JumpPhases& p = jump.phases;
  const PhaseMark marks[] = {{p.onset, "Onset", {255, 246, 204}},          {p.brakingStart, "Brake", {255, 228, 214}},
                             {p.propulsionStart, "Push", {222, 244, 222}}, {p.takeOff, "Take-off", {224, 236, 255}},
                             {p.touchDown, "Touch-down", {238, 228, 246}}, {p.landingEnd, "End", kWhite}};
  if (phases) drawPhaseBands(dc, scales, map, marks);

  const Point frame[] = {{a, b}, {a, d}, {c, d}, {c, b}};
  dc.polyline(frame);

  if (axis1.min < 0 && axis1.max > 0) {
    const int32_t y = d + truncateToInt(axis1.min * scales.y1Scale);
    dc.line({a, y}, {c, y});
  }
  dc.setPen(kY2Pen);
  if (axis2.min < 0 && axis2.max > 0) {
    const int32_t y = d + truncateToInt(axis2.min * scales.y2Scale);
    dc.line({a, y}, {c, y});
  }
  dc.setPen(kY1Pen);

  // Time ticks in blue; their labels keep the text colour the device context came with.
  for (int32_t t = s; t <= e; t += timeStep) {
    const int32_t x = map.x(t);
    dc.line({x, d}, {x, paper ? d - 20 : d + 3});
    const Rect label = paper ? Rect{x - 200, d - 20, x + 200, d - 60} : Rect{x - 20, d + 10, x + 20, d + 25};
    dc.text(label, formatInt("%d", t), TextAlign::Center);
  }
  dc.text(paper ? Rect{a, d - 80, c, d - 120} : Rect{a, d + 25, c, d + 40}, "TIME (ms)", TextAlign::Center);

  dc.setTextColor(kBlue);
  dc.setPen(kY1Pen);
  forEachAxisTick(axis1, [&](int64_t v) {
    const int32_t y = axisTickY(v, axis1, scales.y1Scale, d);
    dc.line({a, y}, {paper ? a - 15 : a - 3, y});
    const Rect label = paper ? Rect{a - 120, y + 20, a - 20, y - 20} : Rect{a - 40, y - 10, a - 5, y + 10};
    dc.text(label, formatInt("%d", static_cast<int32_t>(v)), TextAlign::Right);
  });
  dc.text(paper ? Rect{a - 200, b + 60, a + 300, b + 20} : Rect{a - 30, b - 35, a + 60, b - 15},
          graphParameterTitle(axis1.parameter), TextAlign::Center);

  dc.setPen(kY2Pen);
  dc.setTextColor(kRed);
  forEachAxisTick(axis2, [&](int64_t v) {
    const int32_t y = axisTickY(v, axis2, scales.y2Scale, d);
    dc.line({c, y}, {paper ? c + 15 : c + 3, y});
    const Rect label = paper ? Rect{c + 20, y + 20, c + 200, y - 20} : Rect{c + 5, y - 10, c + 40, y + 10};
    dc.text(label, formatInt("%d", static_cast<int32_t>(v)), TextAlign::Left);
  });
  dc.text(paper ? Rect{c - 300, b + 60, c + 200, b + 20} : Rect{c - 60, b - 35, c + 40, b - 15},
          graphParameterTitle(axis2.parameter), TextAlign::Center);

  // A recording that ends in the air has no landing to end: its flight is shaded to the last sample,
  // with no line there.
  if (phases) drawPhaseLines(dc, scales, map, std::span(marks).first(p.touchDown >= 0 ? 6 : 5), paper);

  // A running test draws up to the published samples while the time axis spans the whole test.
  const int32_t last = view.live ? std::min(view.publishedCount - 1, e) : e;
  drawCurves(dc, store, scales, s, last, drawing);

  dc.setPen(kFramePen);
  for (const int32_t cursor : {view.cursorLeft, view.cursorRight}) {
    if (cursor < s || cursor > e) continue;  // a cursor outside the window has no place in the plot
    const int32_t x = map.x(cursor);
    dc.line({x, b}, {x, d});
  }
  return scales;
}

void drawLiveSegments(DeviceContext& dc, const MeasurementStore& store, const CurveScales& scales, int32_t from,
                      int32_t to, CurveDrawing drawing) {
  from = std::max(from, scales.windowStart);
  to = std::min(to, scales.windowEnd);
  if (to <= from) return;
  SavedTools saved(dc);
  drawCurves(dc, store, scales, from, to, drawing);
}

std::optional<int32_t> sampleAtPoint(const CurveScales& scales, Point point) {
  if (scales.xScale == 0.0 || !rectContains(scales.plot, point)) return std::nullopt;
  const double offset = (point.x - scales.plot.left) / scales.xScale;
  return scales.windowStart + truncateToInt(offset);
}

std::array<std::string, 11> readoutTexts(const MeasurementStore& store, const CurveGraphView& view) {
  const int32_t left = view.cursorLeft;
  const int32_t right = view.cursorRight;
  const auto channel1 = static_cast<ForceChannel>(shownParameter(view.y1Shown));
  const auto channel2 = static_cast<ForceChannel>(shownParameter(view.y2Shown));
  float sum1 = 0.0f;
  float sum2 = 0.0f;
  for (int32_t i = std::max(left, 0); i <= std::min(right, kLastSample); ++i) {
    sum1 += forceAt(store, i, channel1);
    sum2 += forceAt(store, i, channel2);
  }
  // Both cursors are counted; an empty range (XR left of XL) has a mean of 0 rather than a division
  // by zero.
  const int32_t count = right - left + 1;
  const float average1 = count > 0 ? sum1 / static_cast<float>(count) : 0.0f;
  const float average2 = count > 0 ? sum2 / static_cast<float>(count) : 0.0f;
  const int32_t leftIndex = sampleIndex(left);
  const int32_t rightIndex = sampleIndex(right);
  return {formatInt("XL: %d", left),
          formatInt("diff X: %d", right - left),
          formatInt("XR: %d", right),
          formatFloat("Y1L: %7.1f", forceAt(store, leftIndex, channel1)),
          formatFloat("int Y1: %7.1f", sum1 / 1000),
          formatFloat("avr Y1: %7.1f", average1),
          formatFloat("Y1R: %7.1f", forceAt(store, rightIndex, channel1)),
          formatFloat("Y2L: %7.1f", forceAt(store, leftIndex, channel2)),
          formatFloat("int Y2: %7.1f", sum2 / 1000),
          formatFloat("avr Y2: %7.1f", average2),
          formatFloat("Y2R: %7.1f", forceAt(store, rightIndex, channel2))};
}

void drawReadouts(DeviceContext& dc, const Rect& area, const MeasurementStore& store, const CurveGraphView& view) {
  SavedTools saved(dc);
  dc.rectangle(area);
  const std::array<std::string, 11> texts = readoutTexts(store, view);
  const int32_t w = (area.right - area.left) / 4;
  // On paper the three rows of 3 mm text fill the 10 mm panel almost whole: they keep a twentieth of
  // its height clear above and below, so the first row does not touch the frame.
  const int32_t pad = dc.isPrinting() ? (area.bottom - area.top) / 20 : 0;
  const int32_t rowsTop = area.top + pad;
  const int32_t h = (area.bottom - pad - rowsTop) / 3;
  const int32_t x[5] = {area.left, area.left + w, area.left + 2 * w, area.left + 3 * w, area.right};
  const auto row = [&](int32_t r) { return std::pair{rowsTop + r * h, rowsTop + (r + 1) * h}; };

  dc.setTextColor(kBlack);
  const auto [top1, bottom1] = row(0);
  dc.text({x[0], top1, x[1], bottom1}, texts[0], TextAlign::Center);
  dc.text({x[1], top1, x[3], bottom1}, texts[1], TextAlign::Center);
  dc.text({x[3], top1, x[4], bottom1}, texts[2], TextAlign::Center);
  for (int32_t r = 1; r <= 2; ++r) {
    dc.setTextColor(r == 1 ? kBlue : kRed);
    const auto [top, bottom] = row(r);
    for (int32_t column = 0; column < 4; ++column)
      dc.text({x[column], top, x[column + 1], bottom}, texts[static_cast<size_t>(3 + 4 * (r - 1) + column)],
              TextAlign::Center);
  }
}

}  // namespace velkora
