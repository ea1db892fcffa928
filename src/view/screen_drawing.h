#pragma once
// What the view shows of a graph, drawn in one go: the header when a recording is available, then the
// cursor readouts and the curve graph, or the bar graph with its highlighted repetition's texts in the
// readout area. The view's paint and the image and PDF output of the command line both call these.

#include <string_view>

#include "acquisition/measurement_store.h"
#include "model/settings.h"
#include "view/bar_graph.h"
#include "view/curve_graph.h"
#include "view/device_context.h"
#include "view/screen_layout.h"

namespace velkora {

CurveScales drawCurveScreen(DeviceContext& dc, const ScreenLayout& layout, const MeasurementStore& store,
                            std::string_view subjectName, const GraphSettings& settings, const CurveGraphView& view,
                            CurveDrawing drawing = CurveDrawing::Columns);

// The highlighted repetition's texts go into layout.readoutArea, whatever view.screenHighlightRects says.
BarScales drawBarScreen(DeviceContext& dc, const ScreenLayout& layout, const MeasurementStore& store,
                        std::string_view subjectName, const GraphSettings& settings, const BarGraphView& view);

}  // namespace velkora
