#pragma once
// Printed pages on Qt's paged devices (the printer of the print dialog and preview, the PDF writer)
// and as images: every page is drawn by drawPage through the paper mapping.

#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSizeF>
#include <cstdint>

#include "view/print_page.h"

namespace velkora {

// The height of a device's painting area in 0.1 mm: what the page layout may fill downwards.
int32_t printableHeight(const QPaintDevice& device);

// Draws page `pageIndex` with the painter, which paints on `device` from its top-left corner.
void paintPage(QPainter& painter, const QPaintDevice& device, const PrintDocument& document, int32_t pageIndex);

// Prints every page onto the device, a new page between them. False when painting cannot start
// (for a PDF writer: its file cannot be written) or when no font can be loaded for the text; nothing
// is painted then.
bool printDocument(QPagedPaintDevice& device, const PrintDocument& document);

// A page as an image: white paper of the printable size in millimetres at `dotsPerInch`.
QImage pageImage(const PrintDocument& document, int32_t pageIndex, double dotsPerInch,
                 QSizeF printableMillimetres = QSizeF(190.0, 277.0));

}  // namespace velkora
