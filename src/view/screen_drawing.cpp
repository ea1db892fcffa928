#include "view/screen_drawing.h"

#include "view/page_header.h"

namespace velkora {
namespace {

void drawHeaderIfAvailable(DeviceContext& dc, const ScreenLayout& layout, const MeasurementStore& store,
                           std::string_view subjectName) {
  if (store.recordingAvailable.load(std::memory_order_acquire) != 0)
    drawHeader(dc, layout.headerArea, subjectName, store.testTime);
}

}  // namespace

CurveScales drawCurveScreen(DeviceContext& dc, const ScreenLayout& layout, const MeasurementStore& store,
                            std::string_view subjectName, const GraphSettings& settings, const CurveGraphView& view,
                            CurveDrawing drawing) {
  drawHeaderIfAvailable(dc, layout, store, subjectName);
  drawReadouts(dc, layout.readoutArea, store, view);
  return drawCurveGraph(dc, layout.plotArea, store, settings, view, drawing);
}

BarScales drawBarScreen(DeviceContext& dc, const ScreenLayout& layout, const MeasurementStore& store,
                        std::string_view subjectName, const GraphSettings& settings, const BarGraphView& view) {
  drawHeaderIfAvailable(dc, layout, store, subjectName);
  BarGraphView shown = view;
  shown.screenHighlightRects = highlightRectsIn(layout.readoutArea);
  return drawBarGraph(dc, layout.plotArea, store.repetitions, settings, shown);
}

}  // namespace velkora
