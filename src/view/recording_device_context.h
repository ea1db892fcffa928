#pragma once
// A device context that draws nothing and records every call with the tools in effect, so tests and
// tools can ask which labels were drawn where, in which colour, and in which order.

#include <string>
#include <string_view>
#include <vector>

#include "view/device_context.h"

namespace velkora {

struct DrawCall {
  enum class Kind { Line, Polyline, Rectangle, FillRect, Text, MultilineText, SetPen, SetBrush, SetTextColor };
  Kind kind = Kind::Line;
  std::vector<Point> points;  // line: its two ends; polyline: all its points
  Rect rect;                  // rectangles and texts
  Rgb fill;                   // the colour of a filled rectangle
  std::string text;
  TextAlign align = TextAlign::Center;
  Pen pen;  // the tools in effect when the call was made (the new ones for Set* calls)
  Brush brush;
  Rgb textColor;
};

class RecordingDeviceContext final : public DeviceContext {
 public:
  explicit RecordingDeviceContext(bool printing = false) : printing_(printing) {}

  bool isPrinting() const override { return printing_; }

  void line(Point from, Point to) override { record(DrawCall::Kind::Line).points = {from, to}; }
  void polyline(std::span<const Point> points) override {
    record(DrawCall::Kind::Polyline).points.assign(points.begin(), points.end());
  }
  void rectangle(const Rect& rect) override { record(DrawCall::Kind::Rectangle).rect = rect; }
  void fillRect(const Rect& rect, Rgb color) override {
    DrawCall& call = record(DrawCall::Kind::FillRect);
    call.rect = rect;
    call.fill = color;
  }
  void text(const Rect& rect, std::string_view text, TextAlign align) override {
    DrawCall& call = record(DrawCall::Kind::Text);
    call.rect = rect;
    call.text = text;
    call.align = align;
  }
  void multilineText(const Rect& rect, std::string_view text) override {
    DrawCall& call = record(DrawCall::Kind::MultilineText);
    call.rect = rect;
    call.text = text;
  }

  const std::vector<DrawCall>& calls() const { return calls_; }
  void clear() { calls_.clear(); }

  // The calls of one kind, in order.
  std::vector<DrawCall> ofKind(DrawCall::Kind kind) const {
    std::vector<DrawCall> found;
    for (const DrawCall& call : calls_)
      if (call.kind == kind) found.push_back(call);
    return found;
  }
  // The single-line texts, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> found;
    for (const DrawCall& call : calls_)
      if (call.kind == DrawCall::Kind::Text) found.push_back(call.text);
    return found;
  }
  // The first single-line text call with exactly this text, or nullptr.
  const DrawCall* findText(std::string_view text) const {
    for (const DrawCall& call : calls_)
      if (call.kind == DrawCall::Kind::Text && call.text == text) return &call;
    return nullptr;
  }
  // Every segment drawn, lines and the pieces of polylines alike, with the pen of its call.
  struct Segment {
    Point from;
    Point to;
    Pen pen;
  };
  std::vector<Segment> segments() const {
    std::vector<Segment> found;
    for (const DrawCall& call : calls_) {
      if (call.kind != DrawCall::Kind::Line && call.kind != DrawCall::Kind::Polyline) continue;
      for (size_t k = 1; k < call.points.size(); ++k) found.push_back({call.points[k - 1], call.points[k], call.pen});
    }
    return found;
  }

 protected:
  void applyPen(const Pen&) override { record(DrawCall::Kind::SetPen); }
  void applyBrush(const Brush&) override { record(DrawCall::Kind::SetBrush); }
  void applyTextColor(Rgb) override { record(DrawCall::Kind::SetTextColor); }

 private:
  DrawCall& record(DrawCall::Kind kind) {
    DrawCall& call = calls_.emplace_back();
    call.kind = kind;
    call.pen = pen();
    call.brush = brush();
    call.textColor = textColor();
    return call;
  }

  bool printing_;
  std::vector<DrawCall> calls_;
};

}  // namespace velkora
