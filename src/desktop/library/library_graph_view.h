#pragma once
// A widget that shows one of the library's graphs (trend or comparison) drawn by the view's own
// drawing routine through the QPainter device context, and puts the same drawing on paper and into
// PNG, SVG and PDF files.

#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

#include "view/device_context.h"

class QPrinter;

namespace velkora {

using LibraryDrawing = std::function<void(DeviceContext&, const Rect& area)>;

class LibraryGraphView final : public QWidget {
  Q_OBJECT

 public:
  explicit LibraryGraphView(QWidget* parent = nullptr);

  // What the widget shows; an empty drawing leaves it white.
  void setDrawing(LibraryDrawing drawing);
  const LibraryDrawing& drawing() const { return drawing_; }
  bool hasDrawing() const { return static_cast<bool>(drawing_); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  LibraryDrawing drawing_;
};

// The drawing on one page of the printer, as wide as the printable area and at most 11 cm high, in the
// paper mapping. False when painting cannot start or no font can be loaded for the text.
bool printLibraryGraph(QPrinter& printer, const LibraryDrawing& drawing);

// The print dialog, then printLibraryGraph; says so when the page could not be printed.
bool printLibraryGraphAsked(QWidget* parent, QPrinter& printer, const LibraryDrawing& drawing);

// Asks for a PNG, SVG or PDF file (in `folder`) and writes the drawing at `size` pixels into it; a
// failure is shown as "File Save Error" with the reason. False when cancelled or not written.
bool exportLibraryGraph(QWidget* parent, const QString& folder, QSize size, const LibraryDrawing& drawing);

}  // namespace velkora
