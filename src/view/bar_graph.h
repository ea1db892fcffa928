#pragma once
// The repetition bar graph: four bars per repetition (vertical peak and mean, horizontal peak and mean)
// against the force axis, one repetition highlighted in red with its numbers written above the graph;
// and the bars of the repetition in progress that a running repetition-counted test adds every 100 ms.

#include <array>
#include <cstdint>
#include <optional>

#include "acquisition/measurement_store.h"
#include "model/settings.h"
#include "view/device_context.h"
#include "view/graph_axis.h"

namespace velkora {

inline constexpr Brush kBarBrush = Brush::of(kBlue);
inline constexpr Brush kHighlightBrush = Brush::of(kRed);

// The two texts of the highlighted repetition on paper.
inline constexpr std::array<Rect, 2> kPaperHighlightRects{Rect{100, -350, 1900, -400}, Rect{100, -400, 1900, -450}};

// The two texts of the highlighted repetition on the screen, in the readout area: 30 to 45 and 45 to
// 70 pixels below its top, across its width.
std::array<Rect, 2> highlightRectsIn(const Rect& readoutArea);

// The view state a bar graph is drawn from.
struct BarGraphView {
  int32_t y1Shown = 0;  // the force axis is this parameter's
  int32_t selectedRepetition = 0;
  bool live = false;             // a repetition-counted force test is running
  int32_t liveBarsDrawn = 0;     // completed repetitions during the test
  int32_t repetitionTarget = 0;  // the test's repetitions: the slot count while it runs
  // Where the highlighted repetition's texts go on the screen (paper has its own, kPaperHighlightRects).
  std::array<Rect, 2> screenHighlightRects{Rect{100, 70, 640, 85}, Rect{100, 85, 640, 110}};
};

// What a drawing leaves for the mouse and for the live bars.
struct BarScales {
  Rect plot;
  int32_t slotCount = 0;
  double xScale = 0.0;    // device units per repetition slot
  double barScale = 0.0;  // device units per newton; 0 when the axis has no range
  GraphAxis axis;
  int32_t bars = 0;  // repetitions drawn; hitRects[0 .. bars) are theirs
  std::array<Rect, kMaxRepetitions> hitRects{};
};

// Draws the bar graph into `area` (left a, top b, right c, bottom d) and returns its scales and the
// hit rectangles. Leaves the tools as it found them.
BarScales drawBarGraph(DeviceContext& dc, const Rect& area, const RepetitionTable& repetitions,
                       const GraphSettings& settings, const BarGraphView& view);

// The first of the drawn repetitions whose hit rectangle holds the point (left and top edges inside,
// right and bottom outside, whichever way the bar hangs).
std::optional<int32_t> repetitionAtPoint(const BarScales& scales, Point point);

// The four levels of the repetition in progress: its running peaks and the newest forces.
struct LiveRepetition {
  int32_t index = 0;  // 0-based repetition, drawn in slot index + 1
  float peakVertical = 0.0f;
  float newestVertical = 0.0f;
  float peakHorizontal = 0.0f;
  float newestHorizontal = 0.0f;
};

// The repetition in progress as the reader thread leaves it: row `liveBarsDrawn` of the table and the
// recording's newest sample in newtons with the plate's calibration (0 before the first sample).
LiveRepetition liveRepetition(const Recording& recording, const RepetitionTable& repetitions,
                              const CalibrationSet& calibration, int32_t liveBarsDrawn);

// Draws the repetition in progress with the scales of the latest bar graph: the current-force bars are
// first erased in white from the plot's top, then all four bars are drawn in red from the plot's
// bottom edge with a black outline. Nothing for a repetition without a slot.
void drawLiveRepetition(DeviceContext& dc, const BarScales& scales, const LiveRepetition& live);

}  // namespace velkora
