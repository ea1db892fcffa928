#include "view/bar_graph.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace velkora {
namespace {

std::string formatPair(const char* format, int32_t first, int32_t second) {
  char text[96];
  std::snprintf(text, sizeof text, format, first, second);
  return text;
}

std::string formatInt(int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return text;
}

int32_t clampWhole(int32_t value, const GraphAxis& axis) {
  if (value > axis.max) value = axis.max;
  if (value < axis.min) value = axis.min;
  return value;
}

// The level bars stand on: zero when the axis holds it, else the axis limit nearest to zero.
int32_t barBase(const GraphAxis& axis) {
  if (axis.min > 0) return axis.min;
  if (axis.max < 0) return axis.max;
  return 0;
}

int32_t slotX(const BarScales& scales, int32_t slot) { return scales.plot.left + truncateToInt(slot * scales.xScale); }

}  // namespace

std::array<Rect, 2> highlightRectsIn(const Rect& readoutArea) {
  return {Rect{readoutArea.left, readoutArea.top + 30, readoutArea.right, readoutArea.top + 45},
          Rect{readoutArea.left, readoutArea.top + 45, readoutArea.right, readoutArea.top + 70}};
}

BarScales drawBarGraph(DeviceContext& dc, const Rect& area, const RepetitionTable& repetitions,
                       const GraphSettings& settings, const BarGraphView& view) {
  SavedTools saved(dc);
  const bool paper = dc.isPrinting();
  dc.setPen(kFramePen);
  dc.setBrush(Brush::of(kWhite));

  const int32_t a = area.left, b = area.top, c = area.right, d = area.bottom;
  const int32_t rows = repetitions.rows();
  // A target read from a hostile configuration file must not make the axis loop for ever.
  const int32_t slotCount =
      static_cast<int32_t>(std::clamp<int64_t>(view.live ? view.repetitionTarget : rows, 0, kMaxAxisTicks));
  const int32_t labelStep = slotCount < 15 ? 1 : 2;

  BarScales scales;
  scales.plot = area;
  scales.slotCount = slotCount;
  scales.axis = graphAxis(settings, view.y1Shown);
  scales.xScale = static_cast<double>(c - a) / (slotCount + 1);
  // An axis without range has no scale: its frame and labels are drawn, bars are not.
  scales.barScale = axisScale(scales.axis, b, d);
  const GraphAxis& axis = scales.axis;
  const auto yOf = [&](int64_t v) { return axisTickY(v, axis, scales.barScale, d); };

  const Point frame[] = {{a, b}, {a, d}, {c, d}, {c, b}};
  dc.polyline(frame);
  if (axis.min < 0 && axis.max > 0) {
    const int32_t y = d + truncateToInt(axis.min * scales.barScale);
    dc.line({a, y}, {c, y});
  }

  for (int32_t k = 1; k <= slotCount; k += labelStep) {
    const int32_t x = slotX(scales, k);
    dc.line({x, d}, {x, paper ? d - 20 : d + 3});
    dc.text(paper ? Rect{x - 200, d - 20, x + 200, d - 60} : Rect{x - 20, d + 3, x + 20, d + 18}, formatInt(k),
            TextAlign::Center);
  }
  dc.text(paper ? Rect{a, d - 80, c, d - 120} : Rect{a, d + 18, c, d + 33}, "REP (no)", TextAlign::Center);

  dc.setTextColor(kBlue);
  dc.setPen(kY1Pen);
  forEachAxisTick(axis, [&](int64_t v) {
    const int32_t y = yOf(v);
    const std::string label = formatInt(static_cast<int32_t>(v));
    dc.line({a, y}, {paper ? a - 15 : a - 3, y});
    dc.text(paper ? Rect{a - 120, y + 20, a - 20, y - 20} : Rect{a - 40, y - 10, a - 5, y + 10}, label,
            TextAlign::Right);
    dc.line({c, y}, {paper ? c + 15 : c + 3, y});
    dc.text(paper ? Rect{c + 20, y + 20, c + 120, y - 20} : Rect{c + 5, y - 10, c + 40, y + 10}, label,
            TextAlign::Right);
  });
  dc.text(paper ? Rect{a - 200, b + 60, a + 200, b + 20} : Rect{a - 30, b - 25, a + 30, b - 10}, "F (N)",
          TextAlign::Center);
  dc.text(paper ? Rect{c - 200, b + 60, c + 200, b + 20} : Rect{c - 30, b - 25, c + 30, b - 10}, "F (N)",
          TextAlign::Center);

  dc.setBrush(kBarBrush);
  dc.setPen(kFramePen);
  // Every bar has a slot, even if a test recorded more repetitions than it asked for.
  const int32_t bars = std::clamp(view.live ? view.liveBarsDrawn : rows, 0, std::min(rows, slotCount));
  const std::array<Rect, 2> textRects = paper ? kPaperHighlightRects : view.screenHighlightRects;
  const int32_t bottom = yOf(barBase(axis));
  const int32_t half = paper ? 40 : 16;  // four bars of 20 units on paper, 8 pixels on the screen
  const int32_t width = half / 2;
  for (int32_t r = 0; r < bars; ++r) {
    const auto row = static_cast<size_t>(r);
    const int32_t x = slotX(scales, r + 1);
    const int32_t values[4] = {repetitions.peakVertical[row], repetitions.meanVertical[row],
                               repetitions.peakHorizontal[row], repetitions.meanHorizontal[row]};
    int32_t tops[4];
    for (int32_t k = 0; k < 4; ++k) tops[k] = yOf(clampWhole(values[k], axis));
    const bool highlighted = r == view.selectedRepetition;
    const auto writeTexts = [&] {
      dc.text(textRects[0], formatPair("Force max vert. horiz.: %d  %d", values[0], values[2]), TextAlign::Center);
      dc.text(textRects[1], formatPair("Force avrage vert. horiz.: %d  %d", values[1], values[3]), TextAlign::Center);
    };
    dc.setBrush(highlighted ? kHighlightBrush : kBarBrush);
    if (highlighted && !paper) writeTexts();
    if (scales.barScale != 0.0) {
      for (int32_t k = 0; k < 4; ++k) dc.rectangle({x - half + k * width, tops[k], x - half + (k + 1) * width, bottom});
      scales.hitRects[row] = {x - 16, tops[0], x + 16, bottom};
    }
    if (highlighted && paper) writeTexts();
  }
  scales.bars = bars;
  return scales;
}

std::optional<int32_t> repetitionAtPoint(const BarScales& scales, Point point) {
  for (int32_t r = 0; r < scales.bars; ++r)
    if (rectContains(scales.hitRects[static_cast<size_t>(r)], point)) return r;
  return std::nullopt;
}

LiveRepetition liveRepetition(const Recording& recording, const RepetitionTable& repetitions,
                              const CalibrationSet& calibration, int32_t liveBarsDrawn) {
  LiveRepetition live;
  live.index = liveBarsDrawn;
  if (liveBarsDrawn >= 0 && liveBarsDrawn < kMaxRepetitions) {
    const auto row = static_cast<size_t>(liveBarsDrawn);
    live.peakVertical = static_cast<float>(repetitions.peakVertical[row]);
    live.peakHorizontal = static_cast<float>(repetitions.peakHorizontal[row]);
  }
  const int32_t count = recording.sampleCount.load(std::memory_order_acquire);
  if (count > 0 && count <= kMaxSamples && recording.samples != nullptr) {
    const auto newest = static_cast<size_t>(count - 1);
    live.newestVertical = static_cast<float>(recording.samples->vertical[newest]) * calibration.coefficientVertical;
    live.newestHorizontal =
        static_cast<float>(recording.samples->horizontal[newest]) * calibration.coefficientHorizontal;
  }
  return live;
}

void drawLiveRepetition(DeviceContext& dc, const BarScales& scales, const LiveRepetition& live) {
  // Only a repetition the table can hold and the axis has a slot for; nothing on an axis without range.
  if (live.index < 0 || live.index >= kMaxRepetitions || live.index >= scales.slotCount || scales.barScale == 0.0)
    return;
  SavedTools saved(dc);
  const int32_t b = scales.plot.top, d = scales.plot.bottom;
  const int32_t x = slotX(scales, live.index + 1);
  const auto yOf = [&](float v) { return axisY(clampToAxis(v, scales.axis), scales.axis, scales.barScale, d); };
  const int32_t t1 = yOf(live.peakVertical), t2 = yOf(live.newestVertical);
  const int32_t t3 = yOf(live.peakHorizontal), t4 = yOf(live.newestHorizontal);

  dc.setPen(Pen{kWhite, 1});
  dc.setBrush(Brush::of(kWhite));
  dc.rectangle({x - 8, b, x, t2});
  dc.rectangle({x + 8, b, x + 16, t4});
  dc.setPen(kFramePen);
  dc.setBrush(kHighlightBrush);
  dc.rectangle({x - 16, t1, x - 8, d});
  dc.rectangle({x - 8, t2, x, d});
  dc.rectangle({x, t3, x + 8, d});
  dc.rectangle({x + 8, t4, x + 16, d});
}

}  // namespace velkora
