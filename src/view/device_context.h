#pragma once
// The drawing surface the graphs, the header and the printed page are drawn on: lines, polylines,
// rectangles, text in rectangles, and the pen, brush and text colour they use. Coordinates are logical
// integers: on the screen pixels with y growing downwards, on paper 0.1 mm with y growing upwards (a
// rectangle on paper has top > bottom). Adapters map them onto a real device and keep text upright.

#include <cstdint>
#include <span>
#include <string_view>

namespace velkora {

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Left, top, right, bottom in logical units; the corners may come in either order.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kRed{255, 0, 0};

// A solid pen; its width is in logical units (one pixel on the screen, 0.1 mm on paper).
struct Pen {
  Rgb color = kBlack;
  int32_t width = 1;
  friend bool operator==(const Pen&, const Pen&) = default;
};

// A solid fill, or none.
struct Brush {
  bool solid = true;
  Rgb color = kWhite;
  static constexpr Brush none() { return Brush{false, kWhite}; }
  static constexpr Brush of(Rgb color) { return Brush{true, color}; }
  friend bool operator==(const Brush&, const Brush&) = default;
};

enum class TextAlign : int32_t { Left, Center, Right };

class DeviceContext {
 public:
  virtual ~DeviceContext() = default;

  // True on paper (0.1 mm, y up), false on the screen and screen-sized images (pixels, y down).
  virtual bool isPrinting() const = 0;

  // The current tools; a fresh device context has a black pen of width 1, a white brush and black text.
  void setPen(const Pen& pen) {
    pen_ = pen;
    applyPen(pen);
  }
  void setBrush(const Brush& brush) {
    brush_ = brush;
    applyBrush(brush);
  }
  void setTextColor(Rgb color) {
    textColor_ = color;
    applyTextColor(color);
  }
  const Pen& pen() const { return pen_; }
  const Brush& brush() const { return brush_; }
  Rgb textColor() const { return textColor_; }

  // Saves pen, brush and text colour; restore() puts the last saved ones back. Nests a few levels
  // deep; a save beyond that is not kept and its restore does nothing.
  void save();
  void restore();

  // A line with the current pen, both end points included.
  virtual void line(Point from, Point to) = 0;
  // Connected line segments through the points with the current pen.
  virtual void polyline(std::span<const Point> points) = 0;
  // Curves may be placed finer than the logical grid where the device has more pixels than logical
  // units (2 on a screen of device pixel ratio 2): the number of steps per logical unit, 1 on paper,
  // on an ordinary screen and in a recording.
  virtual int32_t curveSubdivision() const { return 1; }
  // A curve: connected segments through points given in steps of 1 / curveSubdivision() of a logical
  // unit, with the current pen, smoothed where the steps are finer than the logical grid.
  virtual void finePolyline(std::span<const Point> points) { polyline(points); }
  // The rectangle outlined with the current pen and filled with the current brush.
  virtual void rectangle(const Rect& rect) = 0;
  // One line of text in the current text colour, vertically centred in the rectangle, aligned
  // horizontally as asked; text that does not fit runs over the rectangle rather than being cut.
  virtual void text(const Rect& rect, std::string_view text, TextAlign align) = 0;
  // The rectangle filled with a colour, without an outline; the tools stay as they are.
  virtual void fillRect(const Rect& rect, Rgb color) = 0;
  // Text whose line breaks are kept, each line centred horizontally, the first line at the rectangle's
  // top (the two-line column titles of the printed report).
  virtual void multilineText(const Rect& rect, std::string_view text) = 0;

 protected:
  virtual void applyPen(const Pen& pen) = 0;
  virtual void applyBrush(const Brush& brush) = 0;
  virtual void applyTextColor(Rgb color) = 0;

 private:
  struct Tools {
    Pen pen;
    Brush brush;
    Rgb textColor = kBlack;
  };
  static constexpr int32_t kSaveDepth = 8;

  Pen pen_;
  Brush brush_;
  Rgb textColor_ = kBlack;
  Tools saved_[kSaveDepth];
  int32_t saveCount_ = 0;  // may exceed kSaveDepth; only the first kSaveDepth saves are kept
};

// Saves the device context's tools for a scope and restores them at its end.
class SavedTools {
 public:
  explicit SavedTools(DeviceContext& dc) : dc_(dc) { dc_.save(); }
  ~SavedTools() { dc_.restore(); }
  SavedTools(const SavedTools&) = delete;
  SavedTools& operator=(const SavedTools&) = delete;

 private:
  DeviceContext& dc_;
};

// Whether a point lies in a rectangle: left and top edges inside, right and bottom edges outside,
// after putting the corners in order.
bool rectContains(const Rect& rect, Point point);

}  // namespace velkora
