#pragma once
// The device context over a QPainter: the view widget, the printer, PDF, SVG and images.
// Screen mapping: logical pixels with y down, as the painter has them (a device pixel ratio above 1
// gives sharp lines and text by itself). Paper mapping: 0.1 mm with y up from the top-left corner of
// the painter's area, for a device of the given resolution; text stays upright.

#include <QFont>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QPointF>
#include <QVector>

#include "view/device_context.h"

namespace velkora {

enum class DeviceMapping { Screen, Paper };

class QPainterDeviceContext final : public DeviceContext {
 public:
  // Screen mapping. The painter gets the screen font, no antialiasing of lines (crisp axes, as on the
  // screen of old; only the curves of a device pixel ratio of 2 or more are smoothed) and the tools of
  // a fresh device context; all is put back on destruction.
  explicit QPainterDeviceContext(QPainter& painter);
  // Paper mapping for a device of dotsPerInchX x dotsPerInchY, with the paper font.
  QPainterDeviceContext(QPainter& painter, double dotsPerInchX, double dotsPerInchY);
  ~QPainterDeviceContext() override;
  QPainterDeviceContext(const QPainterDeviceContext&) = delete;
  QPainterDeviceContext& operator=(const QPainterDeviceContext&) = delete;

  bool isPrinting() const override { return mapping_ == DeviceMapping::Paper; }

  void line(Point from, Point to) override;
  void polyline(std::span<const Point> points) override;
  // On a screen of device pixel ratio 2 or more the curves take its device pixels, antialiased.
  int32_t curveSubdivision() const override { return subdivision_; }
  void finePolyline(std::span<const Point> points) override;
  void rectangle(const Rect& rect) override;
  void fillRect(const Rect& rect, Rgb color) override;
  void text(const Rect& rect, std::string_view text, TextAlign align) override;
  void multilineText(const Rect& rect, std::string_view text) override;

  // Uses another font from here on (its size in logical units: pixels or 0.1 mm).
  void setFont(const QFont& font) { painter_.setFont(font); }

 protected:
  void applyPen(const Pen& pen) override;
  void applyBrush(const Brush& brush) override;
  void applyTextColor(Rgb color) override;

 private:
  QPainterDeviceContext(QPainter& painter, DeviceMapping mapping);
  // Paper: y negated. Screen lines: moved so that a line of width 1 covers exactly its logical
  // pixel's device pixels at any device pixel ratio (no move at a ratio of 1).
  QPoint map(Point p) const { return mapping_ == DeviceMapping::Paper ? QPoint(p.x, -p.y) : QPoint(p.x, p.y); }
  QPointF mapLine(Point p) const {
    return mapping_ == DeviceMapping::Paper ? QPointF(p.x, -p.y) : QPointF(p.x + lineOffset_, p.y + lineOffset_);
  }
  QRect mapText(const Rect& rect) const;
  void useLinePen();
  void useTextPen();

  QPainter& painter_;
  DeviceMapping mapping_;
  double lineOffset_ = 0.0;
  int32_t subdivision_ = 1;
  QPen linePen_;
  QPen textPen_;
  bool painterHasTextPen_ = false;
  QVector<QPointF> points_;  // reused for every polyline
};

}  // namespace velkora
