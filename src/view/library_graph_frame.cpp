#include "view/library_graph_frame.h"

#include <algorithm>
#include <cmath>

namespace velkora {

GraphFrame::GraphFrame(DeviceContext& dc, const Rect& area)
    : dc_(dc),
      paper_(dc.isPrinting()),
      down_(dc.isPrinting() ? -1 : 1),
      u_(dc.isPrinting() ? Units{35, 10, 15, 160, 260, 130, 3} : Units{14, 4, 4, 56, 92, 44, 1}),
      area_(area) {
  plot_.left = area.left + u_.valueLabel + 2 * u_.gap;
  plot_.right = area.right - 4 * u_.gap;
  plot_.top = area.top + down_ * (2 * u_.text + 3 * u_.gap);
  plot_.bottom = area.bottom - down_ * (2 * u_.text + 3 * u_.gap);
  if (plot_.right <= plot_.left) plot_.right = plot_.left + 1;
  if ((plot_.bottom - plot_.top) * down_ <= 0) plot_.bottom = plot_.top + down_;
}

int32_t GraphFrame::xAt(double fraction) const {
  return plot_.left + static_cast<int32_t>(std::lround(fraction * (plot_.right - plot_.left)));
}

int32_t GraphFrame::yAt(double fraction) const {
  return plot_.bottom + static_cast<int32_t>(std::lround(fraction * (plot_.top - plot_.bottom)));
}

int32_t GraphFrame::valueTickLimit() const { return std::max(2, std::abs(plot_.bottom - plot_.top) / (3 * u_.text)); }

int32_t GraphFrame::dateTickLimit() const { return std::max(2, (plot_.right - plot_.left) / u_.dateLabel); }

int32_t GraphFrame::timeTickLimit() const { return std::max(2, (plot_.right - plot_.left) / u_.numberLabel); }

Rect GraphFrame::band(int32_t x1, int32_t x2, int32_t y, int32_t height) const {
  return {x1, y - down_ * (height / 2), x2, y + down_ * (height - height / 2)};
}

void GraphFrame::title(std::string_view text) const {
  const int32_t y = area_.top + down_ * (u_.gap + u_.text / 2);
  dc_.text(band(area_.left, area_.right, y, u_.text), text, TextAlign::Center);
}

void GraphFrame::valueTitle(std::string_view text) const {
  const int32_t y = plot_.top - down_ * (u_.gap + u_.text / 2);
  dc_.text(band(area_.left + u_.gap, plot_.right, y, u_.text), text, TextAlign::Left);
}

void GraphFrame::timeTitle(std::string_view text) const {
  const int32_t y = plot_.bottom + down_ * (u_.tick + 2 * u_.gap + u_.text + u_.text / 2);
  dc_.text(band(plot_.left, plot_.right, y, u_.text), text, TextAlign::Center);
}

void GraphFrame::box() const {
  SavedTools saved(dc_);
  dc_.setPen(scaled(kFramePen));
  const Point corners[] = {{plot_.left, plot_.top},
                           {plot_.left, plot_.bottom},
                           {plot_.right, plot_.bottom},
                           {plot_.right, plot_.top},
                           {plot_.left, plot_.top}};
  dc_.polyline(corners);
}

void GraphFrame::centreText(std::string_view text) const {
  dc_.text(band(plot_.left, plot_.right, (plot_.top + plot_.bottom) / 2, u_.text), text, TextAlign::Center);
}

void GraphFrame::valueTick(int32_t y, std::string_view label) const {
  SavedTools saved(dc_);
  dc_.setPen(Pen{kGraphGridColor, 1});
  dc_.line({plot_.left, y}, {plot_.right, y});
  dc_.setPen(scaled(kFramePen));
  dc_.line({plot_.left - u_.tick, y}, {plot_.left, y});
  dc_.text(band(area_.left, plot_.left - u_.tick - u_.gap, y, u_.text), label, TextAlign::Right);
}

void GraphFrame::timeTick(int32_t x, std::string_view label, bool numeric) const {
  SavedTools saved(dc_);
  dc_.setPen(Pen{kGraphGridColor, 1});
  dc_.line({x, plot_.top}, {x, plot_.bottom});
  dc_.setPen(scaled(kFramePen));
  dc_.line({x, plot_.bottom}, {x, plot_.bottom + down_ * u_.tick});
  // Centred under its tick, moved inwards where it would leave the graph's area.
  const int32_t width = numeric ? u_.numberLabel : u_.dateLabel;
  int32_t left = x - width / 2;
  left = std::min(left, area_.right - width);
  left = std::max(left, area_.left);
  const int32_t y = plot_.bottom + down_ * (u_.tick + u_.gap + u_.text / 2);
  dc_.text(band(left, left + width, y, u_.text), label, TextAlign::Center);
}

Pen GraphFrame::scaled(Pen pen) const {
  if (paper_) pen.width *= u_.pixel;
  return pen;
}

Rect GraphFrame::marker(Point at, int32_t size) const {
  const int32_t s = size * u_.pixel;
  return {at.x - s, at.y - down_ * s, at.x + s, at.y + down_ * s};
}

void GraphFrame::labelBeside(Point at, std::string_view text) const {
  const int32_t width = 14 * u_.text / 2;  // room for about 14 characters
  int32_t x1 = at.x + 2 * u_.gap;
  if (x1 + width > plot_.right) x1 = at.x - 2 * u_.gap - width;
  int32_t y = at.y - down_ * (u_.gap + u_.text);
  if ((y - plot_.top) * down_ < u_.text / 2) {
    // No room above: beside the point, clear of its marker.
    y = at.y;
    x1 += x1 > at.x ? 2 * u_.gap : -2 * u_.gap;
  }
  dc_.text(band(x1, x1 + width, y, u_.text), text, x1 > at.x ? TextAlign::Left : TextAlign::Right);
}

void GraphFrame::legend(std::span<const std::string> labels, std::span<const Rgb> colors) const {
  if (labels.empty()) return;
  SavedTools saved(dc_);
  const int32_t lineLength = 8 * u_.gap;
  const int32_t width = std::min(plot_.right - plot_.left - 2 * u_.gap, 42 * u_.text / 2);
  const int32_t rowHeight = u_.text + u_.gap;
  const int32_t right = plot_.right - u_.gap;
  const int32_t left = right - width;
  const int32_t top = plot_.top + down_ * u_.gap;
  const int32_t bottom = top + down_ * (static_cast<int32_t>(labels.size()) * rowHeight + u_.gap);
  dc_.setPen(scaled(kFramePen));
  dc_.setBrush(Brush::of(kWhite));
  dc_.rectangle({left, top, right, bottom});
  for (size_t k = 0; k < labels.size(); ++k) {
    const int32_t y = top + down_ * (u_.gap + static_cast<int32_t>(k) * rowHeight + u_.text / 2);
    dc_.setPen(scaled(Pen{k < colors.size() ? colors[k] : kBlack, 2}));
    dc_.line({left + u_.gap, y}, {left + u_.gap + lineLength, y});
    dc_.setTextColor(kBlack);
    dc_.text(band(left + 2 * u_.gap + lineLength, right - u_.gap, y, u_.text), labels[k], TextAlign::Left);
  }
}

}  // namespace velkora
