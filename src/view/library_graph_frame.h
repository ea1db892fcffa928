#pragma once
// The frame the library's graphs (trend and comparison) share: the plot rectangle inside the graph's
// area with room for the title, the value labels on the left and the time labels below, on the screen
// (pixels, y down) and on paper (0.1 mm, y up), and the small drawing steps around it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "view/device_context.h"
#include "view/graph_axis.h"
#include "view/graph_ticks.h"

namespace velkora {

inline constexpr Rgb kGraphGridColor{225, 225, 225};

class GraphFrame {
 public:
  GraphFrame(DeviceContext& dc, const Rect& area);

  const Rect& plot() const { return plot_; }
  bool paper() const { return paper_; }
  // Positions of a fraction of the plot's width (from the left) and height (from the bottom).
  int32_t xAt(double fraction) const;
  int32_t yAt(double fraction) const;
  // How many value and time labels fit without overlapping.
  int32_t valueTickLimit() const;
  int32_t dateTickLimit() const;
  int32_t timeTickLimit() const;  // of short numeric labels

  void title(std::string_view text) const;
  void valueTitle(std::string_view text) const;  // above the value labels
  void timeTitle(std::string_view text) const;   // below the time labels
  void box() const;
  void centreText(std::string_view text) const;
  // A grey grid line and a label at every value of the axis; `y` maps a value to its position.
  template <typename Y>
  void valueTicks(const NiceAxis& axis, Y y) const {
    const int32_t n = axis.ticks();
    for (int32_t k = 0; k < n; ++k) valueTick(y(axis.tick(k)), formatAxisNumber(axis.tick(k), axis.decimals));
  }
  void valueTick(int32_t y, std::string_view label) const;
  // A grid line and a tick at x, the label centred under it (moved inwards at the area's edges); a
  // numeric label is given less room than a date.
  void timeTick(int32_t x, std::string_view label, bool numeric = false) const;
  // A pen of screen width, widened to match on paper.
  Pen scaled(Pen pen) const;
  // A square around a point, `size` screen pixels from its centre.
  Rect marker(Point at, int32_t size) const;
  // A text just above and to the right of a point, kept within the plot.
  void labelBeside(Point at, std::string_view text) const;
  // A text box at the plot's top right: one line per entry, each with a short line in its colour.
  void legend(std::span<const std::string> labels, std::span<const Rgb> colors) const;

 private:
  struct Units {
    int32_t text, gap, tick, valueLabel, dateLabel, numberLabel, pixel;
  };
  // A rectangle for one line of text centred at y, from x1 to x2.
  Rect band(int32_t x1, int32_t x2, int32_t y, int32_t height) const;

  DeviceContext& dc_;
  bool paper_;
  int32_t down_;  // +1 on the screen, -1 on paper: the sign of "further down"
  Units u_;
  Rect area_;
  Rect plot_;
};

}  // namespace velkora
