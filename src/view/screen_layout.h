#pragma once
// Where the view puts the header, the cursor readouts, the graph and the report list. A view of
// 740 x 400 pixels or smaller uses the fixed rectangles; a larger one widens and heightens the header,
// the readouts and the graph in proportion, while text keeps its size.

#include <cstdint>

#include "view/device_context.h"

namespace velkora {

inline constexpr int32_t kBaseViewWidth = 740;
inline constexpr int32_t kBaseViewHeight = 400;
inline constexpr Rect kHeaderArea{10, 5, 730, 30};
inline constexpr Rect kReadoutArea{100, 40, 640, 120};
inline constexpr Rect kPlotArea{60, 150, 680, 350};
inline constexpr Rect kReportListArea{10, 50, 730, 380};  // x 10, y 50, 720 x 330

struct ScreenLayout {
  Rect headerArea = kHeaderArea;
  Rect readoutArea = kReadoutArea;
  Rect plotArea = kPlotArea;
  Rect reportList = kReportListArea;  // fills the view beyond its minimum size
};

// The layout of a view of `width` x `height` pixels.
ScreenLayout screenLayout(int32_t width, int32_t height);

}  // namespace velkora
