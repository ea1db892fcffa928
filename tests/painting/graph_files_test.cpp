#include "painting/graph_files.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QRegularExpression>
#include <filesystem>
#include <string>

#include "painting/page_printing.h"
#include "painting_fixtures.h"
#include "reports/digital_reports.h"
#include "support/temp_dir.h"
#include "view/screen_drawing.h"
#include "view/screen_layout.h"

namespace velkora {
namespace {

using testing::TempDir;

const QSize kViewSize(740, 400);

CurveGraphView fullWindow(const MeasurementStore& store, int32_t y1, int32_t y2) {
  CurveGraphView view;
  view.y1Shown = y1;
  view.y2Shown = y2;
  view.windowEnd = std::min(store.sampleCount.load(), kMaxSamples - 1);
  view.cursorRight = view.windowEnd;
  return view;
}

QImage curveImage(const MeasurementStore& store, const CurveGraphView& view, CurveDrawing drawing,
                  QSize size = kViewSize) {
  const ScreenLayout layout = screenLayout(size.width(), size.height());
  GraphSettings settings;
  return screenImage(
      size, 1.0, [&](DeviceContext& dc) { drawCurveScreen(dc, layout, store, "Ann Lee", settings, view, drawing); });
}

int pdfPages(const std::string& bytes) {
  static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
  return static_cast<int>(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).count(page));
}

TEST(GraphFiles, ColumnsAndSegmentsLookTheSame) {
  struct Case {
    const char* name;
    std::unique_ptr<MeasurementStore> store;
    int32_t y1, y2, start, end;
    QSize size;
  };
  Case cases[] = {
      {"full", testing::simulatedStore(testing::pushesScenario(61), 61000, TestKind::Force), 0, 1, 0, 60999, kViewSize},
      {"zoomed", testing::simulatedStore(testing::pushesScenario(61), 61000, TestKind::Force), 0, 1, 3000, 4200,
       kViewSize},
      {"jump", testing::simulatedStore(testing::jumpScenario(), 4000, TestKind::Power), 0, 2, 0, 4000,
       QSize(1200, 700)},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    CurveGraphView view = fullWindow(*c.store, c.y1, c.y2);
    view.windowStart = view.cursorLeft = c.start;
    view.windowEnd = view.cursorRight = c.end;
    const QImage columns = curveImage(*c.store, view, CurveDrawing::Columns, c.size);
    const QImage segments = curveImage(*c.store, view, CurveDrawing::Segments, c.size);
    testing::keepImage(columns, QStringLiteral("curve_%1_columns.png").arg(c.name));
    testing::keepImage(segments, QStringLiteral("curve_%1_segments.png").arg(c.name));
    // The pictures differ in two ways only, both within a pixel: where both curves pass through a
    // pixel the columns put all of red over all of blue, while one by one a later blue segment may
    // cover an earlier red one; and at the tip of a one-pixel zigzag a polyline may leave out a pixel
    // that separate lines set, whose colour is then right beside it.
    ASSERT_EQ(columns.size(), segments.size());
    int64_t redOverBlue = 0, tips = 0, other = 0;
    const auto near = [](const QImage& image, int x, int y, QRgb colour) {
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (image.valid(x + dx, y + dy) && image.pixel(x + dx, y + dy) == colour) return true;
      return false;
    };
    for (int y = 0; y < columns.height(); ++y)
      for (int x = 0; x < columns.width(); ++x) {
        const QRgb fast = columns.pixel(x, y), slow = segments.pixel(x, y);
        if (fast == slow) continue;
        if (fast == qRgb(255, 0, 0) && slow == qRgb(0, 0, 255))
          ++redOverBlue;
        else if (near(columns, x, y, slow) && near(segments, x, y, fast))
          ++tips;
        else
          ++other;
      }
    EXPECT_EQ(other, 0);
    EXPECT_LE(redOverBlue, columns.width() * columns.height() / 500);
    EXPECT_LE(tips, columns.width() * columns.height() / 2000);
    // The curves are there: plenty of blue and red in the plot.
    const ScreenLayout layout = screenLayout(c.size.width(), c.size.height());
    const QRect plot(layout.plotArea.left, layout.plotArea.top, layout.plotArea.right - layout.plotArea.left,
                     layout.plotArea.bottom - layout.plotArea.top);
    int blue = 0, red = 0;
    for (int y = plot.top(); y < plot.bottom(); ++y)
      for (int x = plot.left() + 1; x < plot.right(); ++x) {
        blue += columns.pixel(x, y) == qRgb(0, 0, 255);
        red += columns.pixel(x, y) == qRgb(255, 0, 0);
      }
    EXPECT_GT(blue, 300);
    EXPECT_GT(red, 300);
  }
}

// A known curve graph against the committed picture: a countermovement jump of the simulated plate,
// vertical force and vector force, cursors around the flight. Set VELKORA_UPDATE_REFERENCE=1 to write
// the picture anew after an intended change of the drawing, and look at it before committing.
TEST(GraphFiles, CurveGraphMatchesTheReferencePicture) {
  testing::UtcTime utc;
  auto store = testing::simulatedStore(testing::jumpScenario(), 5000, TestKind::Power);
  CurveGraphView view = fullWindow(*store, 0, 2);
  view.cursorLeft = 3000;
  view.cursorRight = 3800;
  TempDir dir;
  const std::string path = dir.file("jump.png");
  std::string error;
  GraphSettings settings;
  ASSERT_TRUE(writeCurveGraphFile(path, kViewSize, *store, "Ann Lee", settings, view, error)) << error;
  const QImage image(QString::fromStdString(path));
  ASSERT_EQ(image.size(), kViewSize);
  testing::keepImage(image, QStringLiteral("curve_reference.png"));

  const QString reference = QStringLiteral(VELKORA_SOURCE_DIR "/tests/painting/reference/curve_graph_jump.png");
  if (std::getenv("VELKORA_UPDATE_REFERENCE") != nullptr) image.save(reference);
  const QImage expected(reference);
  ASSERT_FALSE(expected.isNull()) << "missing " << reference.toStdString();
  const testing::ImageDifference difference = testing::compareImages(image, expected, 48);
  // Text rendering may differ by a few pixels between font engines; curves, axes and labels may not.
  EXPECT_LE(difference.differing, 200);
}

TEST(GraphFiles, PngSvgAndPdfOfTheCurveAndBarGraphs) {
  auto store = testing::simulatedStore(testing::pushesScenario(5), 5000, TestKind::Force);
  store->repetitions.count = 3;
  for (int r = 0; r < 3; ++r) {
    store->repetitions.peakVertical[r] = 1400 + 30 * r;
    store->repetitions.meanVertical[r] = 900 + 10 * r;
    store->repetitions.peakHorizontal[r] = 500;
    store->repetitions.meanHorizontal[r] = 250;
  }
  GraphSettings settings;
  TempDir dir;
  std::string error;
  for (const char* name : {"curve.png", "curve.SVG", "curve.pdf"})
    ASSERT_TRUE(
        writeCurveGraphFile(dir.file(name), QSize(900, 500), *store, "Ann", settings, fullWindow(*store, 0, 1), error))
        << error;
  BarGraphView bars;
  bars.selectedRepetition = 1;
  for (const char* name : {"bars.png", "bars.svg", "bars.pdf"})
    ASSERT_TRUE(writeBarGraphFile(dir.file(name), kViewSize, *store, "Ann", settings, bars, error)) << error;

  const QImage curve(QString::fromStdString(dir.file("curve.png")));
  EXPECT_EQ(curve.size(), QSize(900, 500));
  const QImage barImage(QString::fromStdString(dir.file("bars.png")));
  EXPECT_EQ(barImage.size(), kViewSize);
  testing::keepImage(barImage, QStringLiteral("bars.png"));
  testing::keepImage(curve, QStringLiteral("curve_900x500.png"));
  // The highlighted repetition is red, the others blue.
  EXPECT_EQ(barImage.pixel(60 + 2 * 155 - 12, 340), qRgb(255, 0, 0));
  EXPECT_EQ(barImage.pixel(60 + 155 - 12, 340), qRgb(0, 0, 255));

  const std::string svg = testing::readFile(dir.file("curve.SVG"));
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("TIME (ms)"), std::string::npos);
  EXPECT_NE(svg.find("Name: Ann"), std::string::npos);
  const std::string pdf = testing::readFile(dir.file("bars.pdf"));
  EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
  EXPECT_EQ(pdfPages(pdf), 1);
  // 740 x 400 pixels at 96 dots per inch: 555 x 300 points.
  static const QRegularExpression mediaBox(QStringLiteral("/MediaBox \\[0 0 555(\\.0+)? 300(\\.0+)?\\]"));
  EXPECT_TRUE(mediaBox.match(QString::fromLatin1(pdf.data(), static_cast<qsizetype>(pdf.size()))).hasMatch());
}

TEST(GraphFiles, RefusedNamesSizesAndPlacesLeaveFilesAlone) {
  auto store = testing::simulatedStore(testing::jumpScenario(), 1000, TestKind::Power);
  GraphSettings settings;
  TempDir dir;
  const std::string existing = dir.file("old.png");
  testing::writeFile(existing, "previous");
  std::string error;
  struct Case {
    std::string path;
    QSize size;
    const char* reason;
  };
  const Case cases[] = {
      {dir.file("graph.jpg"), kViewSize, ".png, .svg or .pdf"},
      {existing, QSize(0, 400), "size"},
      {existing, QSize(740, kMaxImageSide + 1), "size"},
      {dir.file("missing/graph.png"), kViewSize, "cannot write"},
  };
  for (const Case& c : cases) {
    error.clear();
    EXPECT_FALSE(writeCurveGraphFile(c.path, c.size, *store, "", settings, fullWindow(*store, 0, 3), error));
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
  EXPECT_EQ(testing::readFile(existing), "previous");
  EXPECT_FALSE(std::filesystem::exists(dir.file("graph.jpg")));

  PrintDocument document{*store, settings, "", PageContent::CurveGraph};
  EXPECT_FALSE(writePrintedPdf(dir.file("page.png"), document, error));
  EXPECT_FALSE(writePrintedPdf(dir.file("missing/page.pdf"), document, error));
  EXPECT_NE(error.find("cannot write"), std::string::npos);
}

TEST(PrintedPdf, LongReportFillsAsManyPagesAsItNeeds) {
  auto store = testing::simulatedStore(testing::pushesScenario(3), 1000, TestKind::Force);
  DigitalReport report;
  fillIntervalReport(*store, 1, false, report);
  GraphSettings settings;
  PrintDocument document{*store, settings, "Ann", PageContent::Report};
  document.report = &report;
  TempDir dir;
  std::string error;
  ASSERT_TRUE(writePrintedPdf(dir.file("report.pdf"), document, error)) << error;
  // A4 less 10 mm margins: 277 mm, 27 rows a page.
  EXPECT_EQ(pdfPages(testing::readFile(dir.file("report.pdf"))), (1000 + 26) / 27);

  PrintDocument blank{*store, settings, "Ann", PageContent::Blank};
  ASSERT_TRUE(writePrintedPdf(dir.file("blank.pdf"), blank, error)) << error;
  EXPECT_EQ(pdfPages(testing::readFile(dir.file("blank.pdf"))), 1);
}

// Pages as a person sees them: everything inside the page, nothing mirrored (looked at by eye too).
TEST(PrintedPages, GraphAndReportPagesStayOnThePaper) {
  auto jump = testing::simulatedStore(testing::jumpScenario(), 4000, TestKind::Power);
  GraphSettings settings;
  PrintDocument curve{*jump, settings, "Ann Lee", PageContent::CurveGraph};
  curve.curve = fullWindow(*jump, 0, 2);
  curve.curve.cursorLeft = 2600;
  curve.curve.cursorRight = 3300;
  const QImage curvePage = pageImage(curve, 0, 100);
  testing::keepImage(curvePage, QStringLiteral("page_curve.png"));

  auto pushes = testing::simulatedStore(testing::pushesScenario(4), 4000, TestKind::Force);
  pushes->repetitions.count = 4;
  for (int r = 0; r < 4; ++r) {
    pushes->repetitions.peakVertical[r] = 1500 - 50 * r;
    pushes->repetitions.meanVertical[r] = 950;
    pushes->repetitions.peakHorizontal[r] = 600;
    pushes->repetitions.meanHorizontal[r] = 380;
  }
  PrintDocument bars{*pushes, settings, "Ann Lee", PageContent::BarGraph};
  bars.bars.selectedRepetition = 2;
  const QImage barPage = pageImage(bars, 0, 100);
  testing::keepImage(barPage, QStringLiteral("page_bars.png"));

  DigitalReport report;
  fillIntervalReport(*pushes, 100, false, report);
  PrintDocument table{*pushes, settings, "Ann Lee", PageContent::Report};
  table.report = &report;
  const QImage tablePage = pageImage(table, 1, 100);
  testing::keepImage(tablePage, QStringLiteral("page_report_2.png"));

  // 100 dots per inch: 1 mm is 3.94 pixels. The title row (0 .. 8 mm), the graph (55 .. 105 mm) and
  // the table's second page (13 rows below 54 mm) carry ink; the space right of 190 mm is outside.
  for (const QImage* page : {&curvePage, &barPage, &tablePage}) {
    EXPECT_EQ(page->size(), QSize(748, 1091));
    EXPECT_GT(testing::inkPixels(*page, QRect(0, 0, 748, 32)), 500);
  }
  EXPECT_GT(testing::inkPixels(curvePage, QRect(47, 217, 622, 197)), 2000);
  EXPECT_GT(testing::inkPixels(barPage, QRect(47, 217, 614, 197)), 2000);
  EXPECT_GT(testing::inkPixels(tablePage, QRect(0, 213, 748, 13 * 32)), 2000);
  EXPECT_EQ(testing::inkPixels(tablePage, QRect(0, 213 + 14 * 32, 748, 300)), 0);
}

}  // namespace
}  // namespace velkora
