#include "painting/qpainter_device_context.h"

#include <QBrush>
#include <QColor>
#include <QRectF>
#include <QString>
#include <algorithm>

#include "painting/graph_fonts.h"

namespace velkora {
namespace {

QColor colorOf(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

QString textOf(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

int alignmentOf(TextAlign align) {
  switch (align) {
    case TextAlign::Left:
      return Qt::AlignLeft;
    case TextAlign::Right:
      return Qt::AlignRight;
    case TextAlign::Center:
      break;
  }
  return Qt::AlignHCenter;
}

}  // namespace

QPainterDeviceContext::QPainterDeviceContext(QPainter& painter, DeviceMapping mapping)
    : painter_(painter), mapping_(mapping) {
  painter_.save();
  linePen_ = QPen(colorOf(pen().color), pen().width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  textPen_ = QPen(colorOf(textColor()));
  painter_.setPen(linePen_);
  painter_.setBrush(QBrush(colorOf(brush().color)));
}

QPainterDeviceContext::QPainterDeviceContext(QPainter& painter)
    : QPainterDeviceContext(painter, DeviceMapping::Screen) {
  // Aliased lines of width 1 sit on the pixel of their integer coordinate; at a device pixel ratio r
  // they are r device pixels wide and belong half a logical pixel less half a device pixel further on.
  const qreal ratio = painter_.device() != nullptr ? painter_.device()->devicePixelRatioF() : 1.0;
  lineOffset_ = 0.5 - 0.5 / std::max<qreal>(ratio, 1.0);
  subdivision_ = ratio >= 2.0 ? static_cast<int32_t>(ratio) : 1;
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setFont(screenFont());
}

QPainterDeviceContext::QPainterDeviceContext(QPainter& painter, double dotsPerInchX, double dotsPerInchY)
    : QPainterDeviceContext(painter, DeviceMapping::Paper) {
  // 0.1 mm per logical unit; y is negated point by point, so the transform never mirrors the text.
  painter_.scale(dotsPerInchX / 254.0, dotsPerInchY / 254.0);
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setFont(paperFont());
}

QPainterDeviceContext::~QPainterDeviceContext() { painter_.restore(); }

void QPainterDeviceContext::useLinePen() {
  if (!painterHasTextPen_) return;
  painter_.setPen(linePen_);
  painterHasTextPen_ = false;
}

void QPainterDeviceContext::useTextPen() {
  if (painterHasTextPen_) return;
  painter_.setPen(textPen_);
  painterHasTextPen_ = true;
}

void QPainterDeviceContext::applyPen(const Pen& pen) {
  linePen_.setColor(colorOf(pen.color));
  linePen_.setWidth(std::max(1, pen.width));
  if (!painterHasTextPen_) painter_.setPen(linePen_);
}

void QPainterDeviceContext::applyBrush(const Brush& brush) {
  painter_.setBrush(brush.solid ? QBrush(colorOf(brush.color)) : QBrush(Qt::NoBrush));
}

void QPainterDeviceContext::applyTextColor(Rgb color) {
  textPen_.setColor(colorOf(color));
  if (painterHasTextPen_) painter_.setPen(textPen_);
}

void QPainterDeviceContext::line(Point from, Point to) {
  useLinePen();
  painter_.drawLine(mapLine(from), mapLine(to));
}

void QPainterDeviceContext::polyline(std::span<const Point> points) {
  if (points.empty()) return;
  useLinePen();
  points_.resize(static_cast<qsizetype>(points.size()));
  for (size_t k = 0; k < points.size(); ++k) points_[static_cast<qsizetype>(k)] = mapLine(points[k]);
  painter_.drawPolyline(points_.constData(), static_cast<int>(points_.size()));
}

void QPainterDeviceContext::finePolyline(std::span<const Point> points) {
  if (subdivision_ <= 1 || mapping_ == DeviceMapping::Paper) {
    polyline(points);
    return;
  }
  if (points.empty()) return;
  useLinePen();
  // A step k of 1/n of a logical unit is device pixel k; the line of one logical pixel's width is
  // centred half a logical pixel on, so it covers the same device pixels as the aliased line of the
  // logical grid would where the two meet.
  const double n = subdivision_;
  points_.resize(static_cast<qsizetype>(points.size()));
  for (size_t k = 0; k < points.size(); ++k)
    points_[static_cast<qsizetype>(k)] = QPointF(points[k].x / n + 0.5, points[k].y / n + 0.5);
  // Each segment on its own, its square ends covering the joints: stroking the whole polyline as one
  // path (or round ends) costs ten to a hundred times as much for a curve of a few thousand points.
  painter_.setRenderHint(QPainter::Antialiasing, true);
  if (points_.size() == 1) painter_.drawPoint(points_[0]);
  for (qsizetype k = 1; k < points_.size(); ++k) painter_.drawLine(points_[k - 1], points_[k]);
  painter_.setRenderHint(QPainter::Antialiasing, false);
}

void QPainterDeviceContext::rectangle(const Rect& rect) {
  useLinePen();
  const QPoint a = map({rect.left, rect.top});
  const QPoint b = map({rect.right, rect.bottom});
  const int left = std::min(a.x(), b.x()), right = std::max(a.x(), b.x());
  const int top = std::min(a.y(), b.y()), bottom = std::max(a.y(), b.y());
  if (mapping_ == DeviceMapping::Screen) {
    // As on the screen of old: the outline runs inside the rectangle, on its first and last pixel
    // columns and rows; the right and bottom coordinates lie just outside. An empty one draws nothing.
    if (right - left < 1 || bottom - top < 1) return;
    painter_.drawRect(QRectF(left + lineOffset_, top + lineOffset_, right - left - 1, bottom - top - 1));
  } else {
    painter_.drawRect(QRect(left, top, right - left, bottom - top));
  }
}

void QPainterDeviceContext::fillRect(const Rect& rect, Rgb color) {
  // The same area a rectangle covers: right and bottom coordinates just outside.
  const QPoint a = map({rect.left, rect.top});
  const QPoint b = map({rect.right, rect.bottom});
  const int left = std::min(a.x(), b.x()), right = std::max(a.x(), b.x());
  const int top = std::min(a.y(), b.y()), bottom = std::max(a.y(), b.y());
  if (right - left < 1 || bottom - top < 1) return;
  painter_.fillRect(QRect(left, top, right - left, bottom - top), colorOf(color));
}

QRect QPainterDeviceContext::mapText(const Rect& rect) const {
  const QPoint a = map({rect.left, rect.top});
  const QPoint b = map({rect.right, rect.bottom});
  return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
               QPoint(std::max(a.x(), b.x()) - 1, std::max(a.y(), b.y()) - 1));
}

void QPainterDeviceContext::text(const Rect& rect, std::string_view text, TextAlign align) {
  if (text.empty()) return;
  useTextPen();
  painter_.drawText(mapText(rect), Qt::TextSingleLine | Qt::AlignVCenter | alignmentOf(align), textOf(text));
}

void QPainterDeviceContext::multilineText(const Rect& rect, std::string_view text) {
  if (text.empty()) return;
  useTextPen();
  painter_.drawText(mapText(rect), Qt::AlignTop | Qt::AlignHCenter, textOf(text));
}

}  // namespace velkora
