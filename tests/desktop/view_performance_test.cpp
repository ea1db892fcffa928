// Measured costs of the view's pictures: a full repaint of a 61000-sample curve graph, a live tick
// (which must cost what its new samples cost, however long the recording), and the print preview of
// a 61000-row digital report. Each figure is printed.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPrintPreviewWidget>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "desktop/force_list.h"
#include "desktop/main_frame.h"
#include "desktop/measurement_files.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "desktop/view_printer.h"
#include "model/command_ids.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::UiFixture;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

class ViewPerformance : public ::testing::Test {
 protected:
  void SetUp() override {
    auto recording = testing::forceRecording(61000);
    StartOptions options;
    options.file = testing::saveRecording(*recording, fixture.root.file("big.vkr"));
    fixture.start(options);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame()));
  }
  CMainFrame& frame() { return *fixture.app->mainFrame(); }
  CVelkoraView& view() { return *frame().view(); }

  // Milliseconds of a full repaint: the backing image drawn afresh and copied to the window.
  double fullRepaintMs() {
    QElapsedTimer clock;
    clock.start();
    view().invalidate(Repaint::Whole);
    view().repaint();
    return clock.nsecsElapsed() / 1e6;
  }
  // Median microseconds of 50 ticks of 100 samples each, the first one after sample `from`.
  double tickMicroseconds(int32_t from) {
    MeasurementStore& store = *fixture.records.store;
    store.sampleCount = from;
    view().invalidate(Repaint::Whole);
    view().repaint();
    std::vector<double> costs;
    TestTick tick;
    for (int32_t k = 0; k < 50; ++k) {
      tick.drawFrom = from + 100 * k - 1;
      tick.drawTo = tick.drawFrom + 100;
      store.sampleCount = tick.drawTo + 1;
      QElapsedTimer clock;
      clock.start();
      view().drawLiveTick(tick);
      costs.push_back(clock.nsecsElapsed() / 1e3);
    }
    QCoreApplication::processEvents();
    return median(costs);
  }

  UiFixture fixture;
};

TEST_F(ViewPerformance, FullRepaintOfA61000SampleCurveGraph) {
  ASSERT_EQ(view().state().sampleWindowEnd, 60999);
  std::vector<double> costs;
  for (int run = 0; run < 20; ++run) costs.push_back(fullRepaintMs());
  const double ms = median(costs);
  std::printf("full repaint of the view, 61000-sample curve graph, %dx%d: %.2f ms\n", view().width(), view().height(),
              ms);
  RecordProperty("full_repaint_ms", std::to_string(ms));
  EXPECT_LT(ms, 100.0);
}

TEST_F(ViewPerformance, ALiveTickCostsItsNewSamplesHoweverLongTheRecording) {
  ViewState& state = view().state();
  state.displayMode = DisplayMode::PowerTestLive;
  state.sampleWindowStart = 0;
  state.sampleWindowEnd = 60999;
  state.y1Shown = 0;
  state.y2Shown = 1;
  const double early = tickMicroseconds(1000);
  const double late = tickMicroseconds(55000);
  state.sampleWindowEnd = 60999;
  std::vector<double> full;
  for (int run = 0; run < 10; ++run) full.push_back(fullRepaintMs());
  const double fullUs = median(full) * 1e3;
  std::printf("live tick of 100 samples: %.1f us after 1000 samples, %.1f us after 55000 (full repaint %.0f us)\n",
              early, late, fullUs);
  RecordProperty("tick_us", std::to_string(late));
  EXPECT_LT(late, fullUs / 10) << "a tick draws its own samples, not the recording";
  EXPECT_LT(late, 4 * early + 200.0) << "a tick late in the recording costs what an early one costs";
}

TEST_F(ViewPerformance, PrintPreviewOfA61000RowDigitalReport) {
  frame().sendCommand(cmd::kDigitalReport);
  ASSERT_EQ(view().reportList()->rowCount(), 61000);
  view().printer().printer().setOutputFormat(QPrinter::PdfFormat);
  QElapsedTimer clock;
  double openedMs = -1.0;
  int pages = -1;
  ModalScript script;
  script.then([&](QWidget* w) {
    auto* preview = w->findChild<QPrintPreviewWidget*>();
    if (preview != nullptr) pages = preview->pageCount();
    w->repaint();
    openedMs = clock.nsecsElapsed() / 1e6;
    static_cast<QDialog*>(w)->reject();
  });
  clock.start();
  frame().sendCommand(cmd::kPrintPreview);
  EXPECT_TRUE(script.done());
  std::printf("print preview of the 61000-row digital report: %d pages, open in %.0f ms\n", pages, openedMs);
  RecordProperty("preview_ms", std::to_string(openedMs));
  EXPECT_GT(pages, 2000);
  EXPECT_LT(openedMs, 60000.0);
}

}  // namespace
}  // namespace velkora
