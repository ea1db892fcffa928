#include "view/screen_layout.h"

#include <algorithm>

namespace velkora {
namespace {

// x * size / base for a view dimension of at least `base`: the fixed layout stretched to the view.
int32_t stretch(int32_t coordinate, int32_t size, int32_t base) {
  return static_cast<int32_t>(static_cast<int64_t>(coordinate) * size / base);
}

Rect stretch(const Rect& rect, int32_t width, int32_t height) {
  return {stretch(rect.left, width, kBaseViewWidth), stretch(rect.top, height, kBaseViewHeight),
          stretch(rect.right, width, kBaseViewWidth), stretch(rect.bottom, height, kBaseViewHeight)};
}

}  // namespace

ScreenLayout screenLayout(int32_t width, int32_t height) {
  const int32_t w = std::max(width, kBaseViewWidth);
  const int32_t h = std::max(height, kBaseViewHeight);
  ScreenLayout layout;
  layout.headerArea = stretch(kHeaderArea, w, h);
  layout.readoutArea = stretch(kReadoutArea, w, h);
  layout.plotArea = stretch(kPlotArea, w, h);
  // The report list keeps its margins of 10 pixels at the right and 20 at the bottom.
  layout.reportList = {kReportListArea.left, kReportListArea.top, w - 10, h - 20};
  return layout;
}

}  // namespace velkora
