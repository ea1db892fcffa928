#include "view/device_context.h"

#include <algorithm>

namespace velkora {

void DeviceContext::save() {
  if (saveCount_ < kSaveDepth) saved_[saveCount_] = Tools{pen_, brush_, textColor_};
  ++saveCount_;
}

void DeviceContext::restore() {
  if (saveCount_ == 0) return;
  --saveCount_;
  if (saveCount_ >= kSaveDepth) return;
  const Tools& tools = saved_[saveCount_];
  setPen(tools.pen);
  setBrush(tools.brush);
  setTextColor(tools.textColor);
}

bool rectContains(const Rect& rect, Point point) {
  const int32_t left = std::min(rect.left, rect.right);
  const int32_t right = std::max(rect.left, rect.right);
  const int32_t top = std::min(rect.top, rect.bottom);
  const int32_t bottom = std::max(rect.top, rect.bottom);
  return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
}

}  // namespace velkora
