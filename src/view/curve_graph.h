#pragma once
// The curve graph: two parameters of the recording against time over the sample window, Y1 on the left
// axis in blue and Y2 on the right axis in red, with the cursors XL and XR; and the cursor readout
// panel with the values at both cursors, their distance, and the integral and mean between them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "acquisition/measurement_store.h"
#include "model/settings.h"
#include "view/device_context.h"
#include "view/graph_axis.h"

namespace velkora {

// The view state a curve graph is drawn from.
struct CurveGraphView {
  int32_t y1Shown = 0;
  int32_t y2Shown = 1;
  int32_t windowStart = 0;  // first and last sample; the window includes both
  int32_t windowEnd = 0;
  int32_t cursorLeft = 0;
  int32_t cursorRight = 0;
  bool live = false;           // a test is running: the curve ends at the published count
  int32_t publishedCount = 0;  // the store's sampleCount as the latest tick published it
  bool showPhases = true;      // the phases of a power test's kinematics model, where it has one
};

// How the curves are put on the device: Columns joins, per pixel column, the first, lowest, highest
// and last point of the samples falling into it (the same pixels as every segment, far fewer calls);
// Segments draws one line per sample and curve, Y1 then Y2.
enum class CurveDrawing { Columns, Segments };

// What a drawing leaves for the mouse and for the live drawing of a running test.
struct CurveScales {
  Rect plot;
  int32_t windowStart = 0;
  int32_t windowEnd = 0;
  double xScale = 0.0;   // device units per sample; 0 when the window has a single sample
  double y1Scale = 0.0;  // device units per unit of the quantity; 0 when the axis has no range
  double y2Scale = 0.0;
  GraphAxis y1Axis;
  GraphAxis y2Axis;
};

// Draws the curve graph into `area` (left a, top b, right c, bottom d) and returns its scales. With
// `showPhases`, a power test with a kinematics model gets lightly shaded bands between its phase events
// and a thin line with a short label at every event inside the window. Leaves the device context's pen,
// brush and text colour as it found them.
CurveScales drawCurveGraph(DeviceContext& dc, const Rect& area, const MeasurementStore& store,
                           const GraphSettings& settings, const CurveGraphView& view,
                           CurveDrawing drawing = CurveDrawing::Columns);

// The curves from the point of sample `from` on to sample `to`, with the scales of the latest full
// drawing: what a running test adds every 100 ms. Nothing when to <= from.
void drawLiveSegments(DeviceContext& dc, const MeasurementStore& store, const CurveScales& scales, int32_t from,
                      int32_t to, CurveDrawing drawing = CurveDrawing::Columns);

// The sample under a point of the plot, windowStart + trunc((x - left) / xScale); nothing for a point
// outside the plot (left and top edges inside, right and bottom outside) or a plot without a time scale.
std::optional<int32_t> sampleAtPoint(const CurveScales& scales, Point point);

// The eleven readout texts in reading order: "XL: ..", "diff X: ..", "XR: ..", then Y1L, int Y1,
// avr Y1, Y1R, then the same four of Y2. Numbers follow the locale's decimal mark.
std::array<std::string, 11> readoutTexts(const MeasurementStore& store, const CurveGraphView& view);

// Draws the readout panel into `area`: the rectangle with the current pen and brush, then the texts
// in their cells. Leaves the tools as it found them.
void drawReadouts(DeviceContext& dc, const Rect& area, const MeasurementStore& store, const CurveGraphView& view);

}  // namespace velkora
