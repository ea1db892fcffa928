#include "desktop/library/library_graph_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

#include "desktop/file_dialogs.h"
#include "desktop/message_box.h"
#include "model/messages.h"
#include "painting/graph_files.h"
#include "painting/graph_fonts.h"
#include "painting/qpainter_device_context.h"

namespace velkora {
namespace {

constexpr char kGraphFileFilter[] = "PNG image (*.png)|*.png|SVG image (*.svg)|*.svg|PDF document (*.pdf)|*.pdf||";
constexpr int32_t kPrintedGraphHeight = 1100;  // 0.1 mm

}  // namespace

LibraryGraphView::LibraryGraphView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(320, 200);
}

void LibraryGraphView::setDrawing(LibraryDrawing drawing) {
  drawing_ = std::move(drawing);
  update();
}

void LibraryGraphView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), Qt::white);
  if (!drawing_) return;
  QPainterDeviceContext dc(painter);
  drawing_(dc, Rect{0, 0, width(), height()});
}

bool printLibraryGraph(QPrinter& printer, const LibraryDrawing& drawing) {
  if (!drawing || !fontLoads(paperFont())) return false;
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const int dpiX = printer.logicalDpiX(), dpiY = printer.logicalDpiY();
  if (dpiX <= 0 || dpiY <= 0) return false;
  const auto width = static_cast<int32_t>(static_cast<int64_t>(printer.width()) * 254 / dpiX);
  const auto height = static_cast<int32_t>(static_cast<int64_t>(printer.height()) * 254 / dpiY);
  {
    QPainterDeviceContext dc(painter, dpiX, dpiY);
    // Paper runs upwards: the graph's top edge at the page's top, its bottom below it.
    drawing(dc, Rect{0, 0, width, -std::min(height, kPrintedGraphHeight)});
  }
  return painter.end();
}

bool printLibraryGraphAsked(QWidget* parent, QPrinter& printer, const LibraryDrawing& drawing) {
  QPrintDialog dialog(&printer, parent);
  dialog.setWindowTitle(QStringLiteral("Print"));
  if (dialog.exec() != QDialog::Accepted) return false;
  if (printLibraryGraph(printer, drawing)) return true;
  showMessageBox(parent, "The document could not be printed.");
  return false;
}

bool exportLibraryGraph(QWidget* parent, const QString& folder, QSize size, const LibraryDrawing& drawing) {
  if (!drawing) return false;
  const QString path = askSaveFileName(parent, kGraphFileFilter, ".png", folder, QString());
  if (path.isEmpty()) return false;
  std::string error;
  const Rect area{0, 0, size.width(), size.height()};
  if (writeScreenFile(
          path.toUtf8().toStdString(), size, [&](DeviceContext& dc) { drawing(dc, area); }, error))
    return true;
  showMessageBox(parent, std::string(msg::kFileSaveError) + "\n" + error);
  return false;
}

}  // namespace velkora
