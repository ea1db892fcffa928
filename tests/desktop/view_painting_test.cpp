// The view's pictures: the graphs drawn where the layout of the view's size puts them, a running
// test's ticks adding exactly what a full drawing would show, and printing that never moves what
// the mouse maps.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTest>
#include <cmath>

#include "desktop/force_list.h"
#include "desktop/main_frame.h"
#include "desktop/measurement_files.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "desktop/view_printer.h"
#include "model/command_ids.h"
#include "painting/page_printing.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::UiFixture;

const QColor kBluePixel(0, 0, 255);
const QColor kRedPixel(255, 0, 0);

class ViewPaintingTest : public ::testing::Test {
 protected:
  CMainFrame& frame() { return *fixture.app->mainFrame(); }
  CVelkoraView& view() { return *frame().view(); }
  ViewState& state() { return view().state(); }
  MeasurementStore& store() { return *fixture.records.store; }

  void startWithFile(int32_t samples) {
    auto recording = testing::forceRecording(samples);
    StartOptions options;
    options.file = testing::saveRecording(*recording, fixture.root.file("f.vkr"));
    fixture.start(options);
  }
  // The backing image after a full drawing of the present state, in the view's logical pixels.
  QImage fullDrawing() {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&frame()));
    const qint64 before = view().canvas().cacheKey();
    view().invalidate(Repaint::Whole);
    view().repaint();
    EXPECT_NE(view().canvas().cacheKey(), before) << "no full drawing happened";
    return canvasImage();
  }
  QImage canvasImage() { return view().canvas().toImage().convertToFormat(QImage::Format_RGB32); }
  QColor pixel(const QImage& image, int x, int y) {
    const qreal ratio = view().canvas().devicePixelRatio();
    return image.pixelColor(static_cast<int>(x * ratio), static_cast<int>(y * ratio));
  }

  UiFixture fixture;
};

// Pixels that differ between two images of the same size, outside `except` (in image pixels).
int differingPixels(const QImage& a, const QImage& b, const QRect& except = QRect()) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (!except.contains(x, y) && a.pixel(x, y) != b.pixel(x, y)) ++count;
  return count;
}

TEST_F(ViewPaintingTest, TheGraphsStandWhereTheLayoutOfTheViewsSizePutsThem) {
  startWithFile(5000);
  for (const QSize size : {QSize(900, 620), QSize(1200, 800)}) {
    frame().resize(size);
    QCoreApplication::processEvents();
    const QImage image = fullDrawing();
    const ScreenLayout areas = view().layout();
    EXPECT_EQ(areas.plotArea, screenLayout(view().width(), view().height()).plotArea);
    ASSERT_EQ(state().curveScales.plot, areas.plotArea) << size.width();
    const Rect plot = areas.plotArea;
    const int middle = (plot.top + plot.bottom) / 2;
    // The frame's left and right edges, the readout panel's and the header's outlines are black.
    EXPECT_EQ(pixel(image, plot.left, middle), QColor(Qt::black)) << size.width();
    EXPECT_EQ(pixel(image, plot.right, middle), QColor(Qt::black)) << size.width();
    EXPECT_EQ(pixel(image, areas.readoutArea.left, areas.readoutArea.top + 5), QColor(Qt::black));
    EXPECT_EQ(pixel(image, areas.headerArea.left, areas.headerArea.top + 5), QColor(Qt::black));
    // The window 0 .. 5000 spans the plot's width: the XR cursor stands on its right edge.
    EXPECT_DOUBLE_EQ(state().curveScales.xScale, (plot.right - plot.left) / 5000.0);
    testing::saveGrab(frame(), size.width() > 1000 ? "curve_graph_large" : "curve_graph");
  }
  EXPECT_GT(state().curveScales.plot.right, kPlotArea.right) << "a larger window widens the plot";

  frame().sendCommand(cmd::kBarGraph);
  const QImage bars = fullDrawing();
  const BarScales& drawn = state().barScales;
  ASSERT_EQ(drawn.bars, 3);
  EXPECT_EQ(drawn.plot, view().layout().plotArea);
  // Repetition 0 is highlighted in red, the others are blue.
  for (int32_t r = 0; r < 3; ++r) {
    const Rect hit = drawn.hitRects[static_cast<size_t>(r)];
    EXPECT_EQ(pixel(bars, hit.left + 4, hit.bottom - 3), r == 0 ? kRedPixel : kBluePixel) << r;
  }
  testing::saveGrab(frame(), "bar_graph_large");
}

TEST_F(ViewPaintingTest, LiveCurveTicksAddWhatAFullDrawingShowsAndNothingElse) {
  fixture.start();
  MeasurementStore& s = store();
  for (int32_t i = 0; i < 4000; ++i) {
    s.channels.vertical[i] = 700 + static_cast<int32_t>(600 * std::sin(i / 40.0));
    s.channels.horizontal[i] = static_cast<int32_t>(150 * std::cos(i / 25.0));
  }
  s.calibration.coefficientVertical = 1.0f;
  s.calibration.coefficientHorizontal = 1.0f;
  s.testKind = TestKind::Power;
  s.sampleCount = 0;
  ViewState& v = state();
  v.displayMode = DisplayMode::PowerTestLive;
  v.sampleWindowStart = 0;
  v.sampleWindowEnd = 5000;
  v.y1Shown = 0;
  v.y2Shown = 1;
  // The cursors stand past the samples of the test: a full drawing puts them over the curves.
  v.cursorLeft = 4500;
  v.cursorRight = 4600;
  fullDrawing();

  QImage beforeLast;
  TestTick tick;
  for (int32_t published = 100; published <= 4000; published += 100) {
    if (published == 4000) beforeLast = canvasImage();
    s.sampleCount = published;
    tick.sampleCount = published;
    tick.drawFrom = published - 101 < 0 ? 0 : published - 101;
    tick.drawTo = published - 1;
    view().drawLiveTick(tick);
  }
  const QImage ticked = canvasImage();
  const QImage full = fullDrawing();
  EXPECT_EQ(differingPixels(ticked, full), 0) << "forty ticks draw what one full drawing draws";

  // The last tick touched only the columns of its own samples.
  const CurveScales& scales = state().curveScales;
  const qreal ratio = view().canvas().devicePixelRatio();
  const int x0 = scales.plot.left + truncateToInt(3899 * scales.xScale);
  const int x1 = scales.plot.left + truncateToInt(3999 * scales.xScale);
  const QRect own(QPoint(static_cast<int>((x0 - 1) * ratio), 0),
                  QPoint(static_cast<int>((x1 + 2) * ratio), ticked.height()));
  EXPECT_EQ(differingPixels(beforeLast, ticked, own), 0);
  EXPECT_GT(differingPixels(beforeLast, ticked), 0);

  // Outside the live modes a tick draws nothing.
  v.displayMode = DisplayMode::Empty;
  const QImage empty = fullDrawing();
  view().drawLiveTick(tick);
  EXPECT_EQ(differingPixels(empty, canvasImage()), 0);
}

TEST_F(ViewPaintingTest, RepetitionTicksDrawTheRepetitionInProgressAndRedrawTheBarsWhenOneEnds) {
  fixture.start();
  fixture.records.app.forceTestMode = 1;
  fixture.records.app.forceTestValue = 5;
  ViewState& v = state();
  v.displayMode = DisplayMode::ForceTestLive;
  v.y1Shown = 0;
  v.liveBarsDrawn = 0;
  v.selectedRepetition = 4;  // no completed repetition is highlighted
  const QImage empty = fullDrawing();
  const BarScales scales = state().barScales;
  ASSERT_EQ(scales.slotCount, 5) << "the axis is laid out for the whole test";
  // Default axis 0 .. 2000 N: the y of a force in the plot.
  const auto yOf = [&](int32_t newtons) {
    return axisTickY(newtons, scales.axis, scales.barScale, scales.plot.bottom);
  };
  const auto slotX = [&](int32_t slot) { return scales.plot.left + truncateToInt(slot * scales.xScale); };

  TestTick tick;
  tick.inProgress = RepetitionInProgress{0, 1500.0f, 800.0f, 300.0f, 100.0f};
  view().drawLiveTick(tick);
  QImage image = canvasImage();
  const int x = slotX(1);
  EXPECT_EQ(pixel(image, x - 12, yOf(1400)), kRedPixel) << "the running vertical peak";
  EXPECT_EQ(pixel(image, x - 4, yOf(700)), kRedPixel) << "the newest vertical force";
  EXPECT_EQ(pixel(image, x - 4, yOf(900)), QColor(Qt::white));
  // The newest force falls: its bar shrinks, nothing of the higher one stays.
  tick.inProgress.currentVertical = 300.0f;
  view().drawLiveTick(tick);
  image = canvasImage();
  EXPECT_EQ(pixel(image, x - 4, yOf(700)), QColor(Qt::white));
  EXPECT_EQ(pixel(image, x - 4, yOf(200)), kRedPixel);
  EXPECT_EQ(pixel(image, x - 12, yOf(1400)), kRedPixel);

  // The repetition completes: the bar graph is drawn again with its blue bars.
  MeasurementStore& s = store();
  s.repetitions.peakVertical[0] = 1500;
  s.repetitions.meanVertical[0] = 600;
  s.repetitions.peakHorizontal[0] = 300;
  s.repetitions.meanHorizontal[0] = 120;
  s.repetitions.count = 1;
  tick.redrawBars = true;
  tick.repetitionsDrawn = 1;
  tick.inProgress = RepetitionInProgress{1, 0.0f, 0.0f, 0.0f, 0.0f};
  view().drawLiveTick(tick);
  EXPECT_EQ(state().liveBarsDrawn, 1);
  image = canvasImage();
  EXPECT_EQ(pixel(image, x - 12, yOf(1400)), kBluePixel);
  EXPECT_EQ(pixel(image, x - 4, yOf(700)), QColor(Qt::white)) << "the mean bar is lower than the live one was";
  EXPECT_EQ(pixel(image, x - 4, yOf(500)), kBluePixel);

  // A repetition beyond the test's target has no slot and draws nothing.
  tick.redrawBars = false;
  tick.repetitionsDrawn = 5;
  tick.inProgress = RepetitionInProgress{5, 1500.0f, 1500.0f, 1500.0f, 1500.0f};
  const QImage before = canvasImage();
  view().drawLiveTick(tick);
  EXPECT_EQ(differingPixels(before, canvasImage()), 0);
  EXPECT_GT(differingPixels(empty, before), 0);
}

TEST_F(ViewPaintingTest, PrintingAndPreviewLeaveTheMouseOnWhatTheScreenShows) {
  startWithFile(5000);
  frame().resize(1200, 800);
  QCoreApplication::processEvents();
  fullDrawing();
  const CurveScales screen = state().curveScales;
  const auto xOf = [&](int32_t sample) { return screen.plot.left + truncateToInt(sample * screen.xScale); };
  const int y = (screen.plot.top + screen.plot.bottom) / 2;

  const std::string pdf = fixture.root.file("printed.pdf");
  view().printer().printer().setOutputFileName(QString::fromStdString(pdf));
  ModalScript script;
  script.then([](QWidget* w) {
    auto* dialog = qobject_cast<QPrintDialog*>(w);
    ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
    dialog->accept();
  });
  int previewPages = -1;
  script.then([&previewPages](QWidget* w) {
    auto* preview = w->findChild<QPrintPreviewWidget*>();
    if (preview != nullptr) previewPages = preview->pageCount();
    static_cast<QDialog*>(w)->reject();
  });
  bool pageSetup = false;
  script.then([&pageSetup](QWidget* w) {
    pageSetup = qobject_cast<QPageSetupDialog*>(w) != nullptr;
    static_cast<QDialog*>(w)->reject();
  });
  ASSERT_TRUE(frame().action(cmd::kPrint)->isEnabled());
  frame().action(cmd::kPrint)->trigger();
  frame().action(cmd::kPrintPreview)->trigger();
  frame().action(cmd::kPrintSetup)->trigger();
  EXPECT_TRUE(pageSetup);
  EXPECT_TRUE(script.done());
  EXPECT_EQ(previewPages, 1);
  QFile printed(QString::fromStdString(pdf));
  ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
  EXPECT_TRUE(printed.read(5).startsWith("%PDF-"));

  EXPECT_EQ(state().curveScales.plot, screen.plot);
  EXPECT_EQ(state().curveScales.xScale, screen.xScale);
  QTest::mouseClick(&view(), Qt::LeftButton, {}, QPoint(xOf(1500), y));
  EXPECT_NEAR(state().cursorLeft, 1500, 1.0 / screen.xScale) << "XL lands under the mouse";
  QTest::mouseClick(&view(), Qt::RightButton, {}, QPoint(xOf(4000), y));
  EXPECT_NEAR(state().cursorRight, 4000, 1.0 / screen.xScale);

  // A file that cannot be written is a failed print, not a silent one.
  QPrinter unwritable(QPrinter::HighResolution);
  unwritable.setOutputFileName(QString::fromStdString(fixture.root.file("missing/folder/out.pdf")));
  EXPECT_FALSE(view().printer().printTo(unwritable));
}

TEST_F(ViewPaintingTest, AReportPrintsTheListsRowsOnEveryPageAndARunningTestABlankPage) {
  startWithFile(3000);
  frame().sendCommand(cmd::kDigitalReport);
  const PrintDocument document = view().printDocument();
  ASSERT_EQ(document.content, PageContent::Report);
  EXPECT_EQ(document.report, &view().reportList()->report());
  ASSERT_EQ(document.report->rows.rowCount(), 3000);
  QPrinter& printer = view().printer().printer();
  printer.setOutputFormat(QPrinter::PdfFormat);
  const int32_t perPage = reportRowsPerPage(printableHeight(printer));
  int pages = -1;
  ModalScript script;
  script.then([&pages](QWidget* w) {
    auto* preview = w->findChild<QPrintPreviewWidget*>();
    if (preview != nullptr) pages = preview->pageCount();
    static_cast<QDialog*>(w)->reject();
  });
  frame().sendCommand(cmd::kPrintPreview);
  EXPECT_TRUE(script.done());
  EXPECT_EQ(pages, (3000 + perPage - 1) / perPage);
  EXPECT_GT(pages, 50);

  frame().sendCommand(cmd::kBarGraph);
  EXPECT_EQ(view().printDocument().content, PageContent::BarGraph);
  EXPECT_EQ(view().printDocument().report, nullptr);
  state().displayMode = DisplayMode::ForceTestLive;
  EXPECT_EQ(view().printDocument().content, PageContent::Blank);
}

}  // namespace
}  // namespace velkora
