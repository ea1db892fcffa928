#include "painting/graph_files.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>

#include "painting/page_printing.h"
#include "painting/qpainter_device_context.h"
#include "view/screen_drawing.h"
#include "view/screen_layout.h"

namespace velkora {
namespace {

constexpr int kScreenDotsPerInch = 96;
constexpr int kPrintDotsPerInch = 600;

bool endsWith(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char s, char t) { return std::tolower(static_cast<unsigned char>(t)) == s; });
}

QString fileName(const std::string& path) { return QString::fromStdString(path); }

void paintScreen(QPainter& painter, const ScreenDrawing& draw) {
  QPainterDeviceContext dc(painter);
  draw(dc);
}

// The picture as vector graphics of the given generator or writer, painted at 96 dots per inch.
bool paintVector(QPaintDevice& device, QSize size, const ScreenDrawing& draw) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
  paintScreen(painter, draw);
  return painter.end();
}

bool writeTo(QSaveFile& file, const std::string& path, std::string& error, const std::function<bool()>& write) {
  if (!file.open(QIODevice::WriteOnly)) {
    error = "cannot write " + path + ": " + file.errorString().toStdString();
    return false;
  }
  if (!write()) {
    file.cancelWriting();
    error = "cannot write " + path;
    return false;
  }
  if (!file.commit()) {
    error = "cannot write " + path + ": " + file.errorString().toStdString();
    return false;
  }
  return true;
}

}  // namespace

std::optional<ImageFileFormat> imageFileFormat(std::string_view path) {
  if (endsWith(path, ".png")) return ImageFileFormat::Png;
  if (endsWith(path, ".svg")) return ImageFileFormat::Svg;
  if (endsWith(path, ".pdf")) return ImageFileFormat::Pdf;
  return std::nullopt;
}

QImage screenImage(QSize size, qreal devicePixelRatio, const ScreenDrawing& draw) {
  QImage image(size * devicePixelRatio, QImage::Format_RGB32);
  image.setDevicePixelRatio(devicePixelRatio);
  image.fill(Qt::white);
  QPainter painter(&image);
  paintScreen(painter, draw);
  return image;
}

bool writeScreenFile(const std::string& path, QSize size, const ScreenDrawing& draw, std::string& error) {
  const std::optional<ImageFileFormat> format = imageFileFormat(path);
  if (!format) {
    error = "the output file must end in .png, .svg or .pdf: " + path;
    return false;
  }
  if (size.width() < 1 || size.height() < 1 || size.width() > kMaxImageSide || size.height() > kMaxImageSide) {
    error = "the picture size must be between 1x1 and " + std::to_string(kMaxImageSide) + "x" +
            std::to_string(kMaxImageSide) + " pixels";
    return false;
  }
  QSaveFile file(fileName(path));
  return writeTo(file, path, error, [&] {
    switch (*format) {
      case ImageFileFormat::Png:
        return screenImage(size, 1.0, draw).save(&file, "PNG");
      case ImageFileFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(kScreenDotsPerInch);
        return paintVector(svg, size, draw);
      }
      case ImageFileFormat::Pdf: {
        QPdfWriter pdf(&file);
        pdf.setResolution(kScreenDotsPerInch);
        // One page of exactly the picture's size: 0.75 point per pixel at 96 dots per inch.
        pdf.setPageSize(QPageSize(QSizeF(size.width() * 0.75, size.height() * 0.75), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        return paintVector(pdf, size, draw);
      }
    }
    return false;
  });
}

bool writeCurveGraphFile(const std::string& path, QSize size, const MeasurementStore& store,
                         std::string_view subjectName, const GraphSettings& settings, const CurveGraphView& view,
                         std::string& error) {
  const ScreenLayout layout = screenLayout(size.width(), size.height());
  return writeScreenFile(
      path, size, [&](DeviceContext& dc) { drawCurveScreen(dc, layout, store, subjectName, settings, view); }, error);
}

bool writeBarGraphFile(const std::string& path, QSize size, const MeasurementStore& store, std::string_view subjectName,
                       const GraphSettings& settings, const BarGraphView& view, std::string& error) {
  const ScreenLayout layout = screenLayout(size.width(), size.height());
  return writeScreenFile(
      path, size, [&](DeviceContext& dc) { drawBarScreen(dc, layout, store, subjectName, settings, view); }, error);
}

bool writePrintedPdf(const std::string& path, const PrintDocument& document, std::string& error) {
  if (imageFileFormat(path) != ImageFileFormat::Pdf) {
    error = "the output file must end in .pdf: " + path;
    return false;
  }
  QSaveFile file(fileName(path));
  return writeTo(file, path, error, [&] {
    QPdfWriter pdf(&file);
    pdf.setResolution(kPrintDotsPerInch);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    pdf.setCreator(QStringLiteral("Velkora"));
    pdf.setTitle(QString::fromStdString(pageTitle(document.store.testKind, document.content)));
    return printDocument(pdf, document);
  });
}

}  // namespace velkora
