#include "painting/page_printing.h"

#include <cmath>
#include <mutex>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "painting/graph_fonts.h"
#include "painting/qpainter_device_context.h"

namespace velkora {
namespace {

// Qt's PDF writer sets up a fresh compressor for every page. With glibc's default thresholds its
// buffers come from mmap or the heap top and go back to the system after each page, and every page
// faults them in again: a 2000-page report spent half its time there. Freed memory up to these sizes
// now stays with the process.
void keepPageBuffers() {
#if defined(__GLIBC__)
  static std::once_flag once;
  std::call_once(once, [] {
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
  });
#endif
}

}  // namespace

int32_t printableHeight(const QPaintDevice& device) {
  const int dotsPerInch = device.logicalDpiY();
  if (dotsPerInch <= 0) return 0;
  return static_cast<int32_t>(static_cast<int64_t>(device.height()) * 254 / dotsPerInch);
}

void paintPage(QPainter& painter, const QPaintDevice& device, const PrintDocument& document, int32_t pageIndex) {
  QPainterDeviceContext dc(painter, device.logicalDpiX(), device.logicalDpiY());
  drawPage(dc, document, pageIndex, printableHeight(device));
}

bool printDocument(QPagedPaintDevice& device, const PrintDocument& document) {
  if (!fontLoads(paperFont())) return false;  // pages without a word on them are no print-out
  keepPageBuffers();
  QPainter painter;
  if (!painter.begin(&device)) return false;
  const int32_t pages = pageCount(document, printableHeight(device));
  for (int32_t page = 0; page < pages; ++page) {
    if (page > 0 && !device.newPage()) return false;
    paintPage(painter, device, document, page);
  }
  return painter.end();
}

QImage pageImage(const PrintDocument& document, int32_t pageIndex, double dotsPerInch, QSizeF printableMillimetres) {
  const QSize size(static_cast<int>(std::lround(printableMillimetres.width() * dotsPerInch / 25.4)),
                   static_cast<int>(std::lround(printableMillimetres.height() * dotsPerInch / 25.4)));
  QImage image(size, QImage::Format_RGB32);
  const int dotsPerMetre = static_cast<int>(std::lround(dotsPerInch / 0.0254));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  image.fill(Qt::white);
  QPainter painter(&image);
  paintPage(painter, image, document, pageIndex);
  return image;
}

}  // namespace velkora
