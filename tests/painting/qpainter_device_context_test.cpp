#include "painting/qpainter_device_context.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <string>
#include <vector>

#include "painting/graph_files.h"
#include "painting/graph_fonts.h"
#include "painting/page_printing.h"
#include "painting_fixtures.h"
#include "reports/report_table.h"
#include "view/curve_graph.h"
#include "view/graph_fixtures.h"

namespace velkora {
namespace {

constexpr QRgb kWhitePixel = 0xffffffff;
constexpr QRgb kBlackPixel = 0xff000000;

QImage blank(QSize size, int dotsPerInch = 96) {
  QImage image(size, QImage::Format_RGB32);
  image.setDotsPerMeterX(static_cast<int>(dotsPerInch / 0.0254 + 0.5));
  image.setDotsPerMeterY(static_cast<int>(dotsPerInch / 0.0254 + 0.5));
  image.fill(Qt::white);
  return image;
}

// The bounding box of everything not white.
QRect inkBounds(const QImage& image) {
  QRect bounds;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != kWhitePixel) bounds = bounds.united(QRect(x, y, 1, 1));
  return bounds;
}

TEST(QPainterDeviceContext, ScreenRectanglesOutlineTheirFirstAndLastPixels) {
  QImage image = blank(QSize(40, 30));
  {
    QPainter painter(&image);
    QPainterDeviceContext dc(painter);
    dc.setBrush(Brush::of(kRed));
    dc.rectangle({10, 5, 20, 15});
    dc.rectangle({30, 25, 25, 20});  // corners the other way round
    dc.rectangle({2, 2, 2, 10});     // empty: nothing
  }
  for (int x = 10; x <= 19; ++x) {
    EXPECT_EQ(image.pixel(x, 5), kBlackPixel) << x;
    EXPECT_EQ(image.pixel(x, 14), kBlackPixel) << x;
  }
  for (int y = 5; y <= 14; ++y) {
    EXPECT_EQ(image.pixel(10, y), kBlackPixel) << y;
    EXPECT_EQ(image.pixel(19, y), kBlackPixel) << y;
  }
  EXPECT_EQ(image.pixel(15, 10), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(20, 10), kWhitePixel);
  EXPECT_EQ(image.pixel(15, 15), kWhitePixel);
  EXPECT_EQ(image.pixel(25, 20), kBlackPixel);
  EXPECT_EQ(image.pixel(29, 24), kBlackPixel);
  EXPECT_EQ(image.pixel(30, 25), kWhitePixel);
  EXPECT_EQ(image.pixel(2, 5), kWhitePixel);
}

TEST(QPainterDeviceContext, ToolsAndTextColourDoNotLeakIntoEachOther) {
  QImage image = blank(QSize(200, 40));
  {
    QPainter painter(&image);
    QPainterDeviceContext dc(painter);
    dc.setPen(Pen{kBlue, 1});
    dc.setTextColor(kRed);
    dc.text({0, 0, 100, 20}, "MMMM", TextAlign::Left);
    dc.line({0, 30}, {199, 30});  // the blue pen, not the red text colour
    dc.setBrush(Brush::none());
    dc.rectangle({120, 2, 140, 20});
  }
  EXPECT_EQ(image.pixel(100, 30), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(130, 10), kWhitePixel);  // no brush: the inside stays white
  EXPECT_EQ(image.pixel(120, 10), qRgb(0, 0, 255));
  // The text is red, blended into white at its edges; no blue in it.
  int red = 0, blue = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 100; ++x) {
      const QRgb p = image.pixel(x, y);
      red += qRed(p) == 255 && qGreen(p) == qBlue(p) && qGreen(p) < 160;
      blue += qBlue(p) > qRed(p);
    }
  EXPECT_GT(red, 20);
  EXPECT_EQ(blue, 0);
}

// Paper texts stand upright: a text put into a paper rectangle whose top lies above its bottom looks
// exactly like the same text drawn the ordinary way into the matching place of the page.
TEST(QPainterDeviceContext, PaperTextIsUprightAndInsideItsRectangle) {
  const QSize page(800, 400);  // at 254 dots per inch one paper unit is one pixel
  QImage paper = blank(page, 254);
  {
    QPainter painter(&paper);
    QPainterDeviceContext dc(painter, 254, 254);
    dc.text({100, -100, 700, -180}, "Name: Fjgq Ayb", TextAlign::Left);
    dc.multilineText({100, -200, 700, -380}, "Vertical Max Force\n(N)");
  }
  QImage expected = blank(page, 254);
  {
    QPainter painter(&expected);
    painter.setFont(paperFont());
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawText(QRect(100, 100, 600, 80), Qt::TextSingleLine | Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Name: Fjgq Ayb"));
    painter.drawText(QRect(100, 200, 600, 180), Qt::AlignTop | Qt::AlignHCenter,
                     QStringLiteral("Vertical Max Force\n(N)"));
  }
  testing::keepImage(paper, "paper_text.png");
  EXPECT_EQ(testing::compareImages(paper, expected, 0).differing, 0);
  const QRect ink = inkBounds(paper);
  EXPECT_TRUE(QRect(100, 100, 600, 280).contains(ink))
      << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
  // The title's two lines: the first near the top of its rectangle, the second below it.
  EXPECT_GT(testing::inkPixels(paper, QRect(100, 200, 600, 40)), 0);
  EXPECT_GT(testing::inkPixels(paper, QRect(100, 240, 600, 40)), 0);
  EXPECT_EQ(testing::inkPixels(paper, QRect(100, 300, 600, 80)), 0);
}

TEST(QPainterDeviceContext, HighDensityScreensDrawEveryLogicalPixelAsTwo) {
  const QImage image = screenImage(QSize(100, 60), 2.0, [](DeviceContext& dc) {
    dc.line({10, 5}, {10, 50});
    dc.setBrush(Brush::of(kRed));
    dc.rectangle({60, 40, 70, 50});
    dc.text({20, 10, 90, 30}, "XL: 100", TextAlign::Left);
  });
  ASSERT_EQ(image.size(), QSize(200, 120));
  // Logical pixel 10 is device pixels 20 and 21, from row 10 to row 101 (logical rows 5 to 50).
  for (const int x : {20, 21}) {
    EXPECT_EQ(image.pixel(x, 10), kBlackPixel);
    EXPECT_EQ(image.pixel(x, 101), kBlackPixel);
    EXPECT_EQ(image.pixel(x, 9), kWhitePixel);
    EXPECT_EQ(image.pixel(x, 102), kWhitePixel);
  }
  EXPECT_EQ(image.pixel(19, 60), kWhitePixel);
  EXPECT_EQ(image.pixel(22, 60), kWhitePixel);
  // The rectangle's outline on logical columns 60 and 69, its fill between.
  for (const int x : {120, 121, 138, 139}) EXPECT_EQ(image.pixel(x, 90), kBlackPixel) << x;
  EXPECT_EQ(image.pixel(122, 90), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(137, 90), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(140, 90), kWhitePixel);
  EXPECT_EQ(image.pixel(130, 100), kWhitePixel);
  EXPECT_TRUE(QRect(40, 20, 140, 40).contains(inkBounds(image.copy(30, 0, 170, 70)).translated(30, 0)));
}

// At a device pixel ratio of 2 a curve takes the device pixels between the logical ones, smoothed: a
// slope of one row in four columns climbs a device row every fourth device column, where the logical
// grid would keep it flat for about eight. At a ratio of 1 the curve stays aliased, as it always was.
TEST(QPainterDeviceContext, CurvesAtRatioTwoHaveNoStepsOfTheLogicalGrid) {
  // 1 N a sample: 10 N a row and 2.5 samples a column in a plot 400 wide and 200 high for 0 .. 2000 N.
  auto store = testing::makeGraphStore(
      1001, [](int32_t i) { return i; }, [](int32_t) { return 0; });
  const GraphSettings graph;
  const CurveGraphView view{.y1Shown = 0, .y2Shown = 1, .windowStart = 0, .windowEnd = 1000};
  const Rect plot{50, 50, 450, 250};
  for (const qreal ratio : {1.0, 2.0}) {
    const QImage image =
        screenImage(QSize(500, 300), ratio, [&](DeviceContext& dc) { drawCurveGraph(dc, plot, *store, graph, view); });
    const int r = static_cast<int>(ratio);
    // The top edge of the blue curve in each device column, and whether any pixel is a blend of blue
    // and white.
    std::vector<int> top;
    bool blended = false;
    for (int x = (plot.left + 20) * r; x < (plot.right - 20) * r; ++x) {
      int first = -1;
      for (int y = plot.top * r; y < plot.bottom * r; ++y) {
        const QRgb p = image.pixel(x, y);
        if (qBlue(p) > qRed(p) && p != qRgb(0, 0, 255)) blended = true;
        if (first < 0 && qBlue(p) > 160 && qRed(p) < 128) first = y;
      }
      top.push_back(first);
    }
    // The longest run of columns on one row.
    int run = 1, longestRun = 1;
    for (size_t k = 1; k < top.size(); ++k) {
      run = top[k] == top[k - 1] ? run + 1 : 1;
      longestRun = std::max(longestRun, run);
    }
    if (ratio == 1.0) {
      EXPECT_FALSE(blended);
      EXPECT_LE(longestRun, 4);
    } else {
      EXPECT_TRUE(blended) << "antialiased";
      EXPECT_LE(longestRun, 5) << "no flat stretch of a logical row's length";
    }
  }
}

// The fonts fit the rectangles the layouts give their texts: the widest labels of the screen and the
// widest column titles and cells of paper.
TEST(GraphFonts, TextsFitTheirRectangles) {
  const QFontMetrics screen(screenFont());
  EXPECT_LE(screen.horizontalAdvance(QStringLiteral("-2000")), 35);             // axis label, a - 40 .. a - 5
  EXPECT_LE(screen.horizontalAdvance(QStringLiteral("60999")), 40);             // time label, x - 20 .. x + 20
  EXPECT_LE(screen.horizontalAdvance(QStringLiteral("avr Y1: -1999.9")), 135);  // readout cell
  EXPECT_LE(screen.horizontalAdvance(QStringLiteral("F horizontal(N)")), 100);  // Y2 title, c - 60 .. c + 40
  EXPECT_LE(screen.height(), 20);
  EXPECT_LE(screen.height(), 25 - 4 - 2);  // the header's line

  // Paper: measured in 0.1 mm, the font's own unit there.
  const QFontMetrics paper(paperFont());
  EXPECT_LE(paper.height(), 40);  // labels 4 mm high
  EXPECT_LE(paper.horizontalAdvance(QStringLiteral("-2000")), 100);
  for (const ReportColumnTable* table :
       {&forceIntervalColumns, &powerIntervalColumns, &heightReportColumns, &summaryColumns, &repetitionColumns}) {
    for (int32_t i = 0; i < table->count; ++i) {
      const auto header = splitHeader(table->headers[static_cast<size_t>(i)]);
      const int width = table->printWidths[static_cast<size_t>(i)] - 5;
      EXPECT_LE(paper.horizontalAdvance(QString::fromUtf8(header.upper.data(), static_cast<int>(header.upper.size()))),
                width)
          << header.upper;
      EXPECT_LE(paper.horizontalAdvance(QString::fromUtf8(header.lower.data(), static_cast<int>(header.lower.size()))),
                width)
          << header.lower;
    }
  }
  EXPECT_LE(2 * paper.height(), 130);  // two title lines in the header box
  EXPECT_LE(paper.horizontalAdvance(QStringLiteral("       1 -   61000")), 420 - 10);
  EXPECT_LE(paper.horizontalAdvance(QStringLiteral("Center of gravity dip before take off:")), 640 - 10);
  EXPECT_LE(paper.horizontalAdvance(QStringLiteral("avr Y1: -1999.9")), 450);
}

}  // namespace
}  // namespace velkora
