#pragma once
// Graphs and printed pages into files, the way the command line and the window's export use them: the
// curve graph or the bar graph as the screen shows it (header, readouts or the highlighted
// repetition's texts, graph) into a PNG, SVG or PDF of a given pixel size, and the printed pages into
// a multi-page A4 PDF. A QGuiApplication must exist (fonts). Files are replaced only when complete.

#include <QImage>
#include <QSize>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/measurement_store.h"
#include "model/settings.h"
#include "view/bar_graph.h"
#include "view/curve_graph.h"
#include "view/device_context.h"
#include "view/print_page.h"

namespace velkora {

enum class ImageFileFormat { Png, Svg, Pdf };

// The format a file name asks for by its extension (.png, .svg, .pdf, in any case); none otherwise.
std::optional<ImageFileFormat> imageFileFormat(std::string_view path);

// Sizes accepted for screen pictures: 1 to kMaxImageSide pixels each way.
inline constexpr int kMaxImageSide = 16384;

using ScreenDrawing = std::function<void(DeviceContext&)>;

// A white screen picture of `size` logical pixels drawn by `draw` in the screen mapping, on an image
// of size x devicePixelRatio device pixels.
QImage screenImage(QSize size, qreal devicePixelRatio, const ScreenDrawing& draw);

// The picture into the file `path` in the format of its extension. On failure returns false with a
// one-line reason in `error` and leaves any existing file as it was.
bool writeScreenFile(const std::string& path, QSize size, const ScreenDrawing& draw, std::string& error);

// The curve graph as the screen of that size shows it.
bool writeCurveGraphFile(const std::string& path, QSize size, const MeasurementStore& store,
                         std::string_view subjectName, const GraphSettings& settings, const CurveGraphView& view,
                         std::string& error);

// The bar graph as the screen of that size shows it.
bool writeBarGraphFile(const std::string& path, QSize size, const MeasurementStore& store, std::string_view subjectName,
                       const GraphSettings& settings, const BarGraphView& view, std::string& error);

// Every printed page on A4 with margins of 10 mm into a PDF file.
bool writePrintedPdf(const std::string& path, const PrintDocument& document, std::string& error);

}  // namespace velkora
