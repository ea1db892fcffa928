// The metrics report in the window's report list, with its bar's Copy, Copy All and Export csv and
// its printed page; View -> Show phases on screen and in print, remembered for the next run.

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QItemSelectionModel>
#include <QPushButton>

#include "desktop/dialog_bar.h"
#include "desktop/force_list.h"
#include "desktop/main_frame.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"
#include "reports/metrics_report.h"
#include "reports/report_export.h"
#include "reports/test_metrics.h"
#include "support/measurement_files.h"
#include "view/print_page.h"
#include "view/recording_device_context.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::UiFixture;

std::vector<std::string> listRow(const CforceList& list, int row) {
  return {list.model()->index(row, 0).data().toString().toStdString(),
          list.model()->index(row, 1).data().toString().toStdString()};
}

std::string startWithGeneratedFile(UiFixture& f, TestKind kind, const char* file) {
  testing::GeneratedTest test;
  test.name = "Anna Meier";
  test.kind = kind;
  test.flight = 450;
  test.pushes = 3;
  StartOptions options;
  options.file = f.root.file(file);
  EXPECT_TRUE(testing::writeGeneratedTest(options.file, test));
  f.start(options);
  return options.file;
}

TEST(MetricsReport, AJumpAndPushesListTheirMetricsAndCopyCopyAllExportAndPrintTakeThem) {
  struct Case {
    TestKind kind;
    const char* file;
    const char* row;      // a row the report must have
    const char* pattern;  // the start of its value
  };
  const Case cases[] = {
      {TestKind::Power, "jump.tsr", "Jump height (flight time)", "24.8"},
      {TestKind::Force, "pushes.vkr", "Repetition 3", ""},
  };
  for (const Case& c : cases) {
    UiFixture f;
    startWithGeneratedFile(f, c.kind, c.file);
    CMainFrame& frame = *f.app->mainFrame();
    ASSERT_TRUE(frame.action(cmd::kMetricsReport)->isEnabled()) << c.file;
    ASSERT_TRUE(frame.sendCommand(cmd::kMetricsReport));
    CVelkoraView& view = *frame.view();
    EXPECT_EQ(view.state().displayMode, DisplayMode::MetricsReport);
    ASSERT_EQ(frame.shownBar(), cmd::kMetricsBar);
    EXPECT_EQ(frame.dialogBar()->list(cmd::kIntervalList), nullptr) << "metrics have no intervals";

    // The rows are the core's, in order, all of them.
    DigitalReport expected;
    fillMetricsReport(computeTestMetrics(*f.records.store, c.kind), expected);
    const CforceList& list = *view.reportList();
    ASSERT_EQ(list.rowCount(), expected.rows.rowCount()) << c.file;
    bool found = false;
    for (int r = 0; r < list.rowCount(); ++r) {
      const std::vector<std::string> row = listRow(list, r);
      ASSERT_EQ(
          row, (std::vector<std::string>{std::string(expected.rows.cell(r, 0)), std::string(expected.rows.cell(r, 1))}))
          << r;
      if (row[0] == c.row) found = row[1].starts_with(c.pattern);
    }
    EXPECT_TRUE(found) << c.row;
    if (c.kind == TestKind::Force) {
      // Whole-test rows first, then three repetitions, each under its heading row.
      EXPECT_EQ(listRow(list, 0)[0], "Samples");
      const size_t whole = computeTestMetrics(*f.records.store, c.kind).whole.size();
      EXPECT_EQ(listRow(list, static_cast<int>(whole)), (std::vector<std::string>{"Repetition 1", ""}));
    }

    // Copy All, Copy of two rows and Export csv give the core's texts.
    frame.dialogBar()->button(cmd::kCopyAll)->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), copyAllText(expected));
    list.selectionModel()->select(list.model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.selectionModel()->select(list.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    frame.dialogBar()->button(cmd::kCopy)->click();
    std::string two;
    CollectingMessageSink none;
    const int32_t rows[] = {1, 3};
    ASSERT_TRUE(copySelectedText(expected, rows, two, none));
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), two);
    {
      ModalScript script;
      script.chooseFile(f.dataFolder() + "/metrics.csv");
      frame.dialogBar()->button(cmd::kExportCsv)->click();
    }
    EXPECT_EQ(testing::readFile(f.dataFolder() + "/metrics.csv"),
              csvExportText(expected, "Anna Meier", f.records.store->testTime, csvSeparatorForLocale()));

    // Printed: the report's rows under the column titles "Metric" and "Value".
    const PrintDocument document = view.printDocument();
    ASSERT_EQ(document.content, PageContent::Report);
    EXPECT_EQ(document.report, &list.report());
    RecordingDeviceContext paper(true);
    drawPage(paper, document, 0, 2770);
    std::vector<std::string> texts;
    for (const DrawCall& call : paper.calls())
      if (call.kind == DrawCall::Kind::Text || call.kind == DrawCall::Kind::MultilineText) texts.push_back(call.text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Metric\n "), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::string(expected.rows.cell(1, 1))), texts.end());
    testing::saveGrab(frame, c.kind == TestKind::Power ? "metrics_report_power" : "metrics_report_force");
  }
}

// The phase labels a drawing put down.
int phaseLabels(const RecordingDeviceContext& dc) {
  int labels = 0;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text))
    for (const char* phase : {"Onset", "Brake", "Push", "Take-off", "Touch-down"}) labels += call.text == phase;
  return labels;
}

TEST(ShowPhases, TheViewEntryTurnsThePhasesOffOnScreenAndInPrintAndTheNextRunKeepsIt) {
  UiFixture f;
  const std::string file = startWithGeneratedFile(f, TestKind::Power, "jump.tsr");
  CMainFrame& frame = *f.app->mainFrame();
  QAction* phases = frame.action(cmd::kShowPhases);
  ASSERT_TRUE(phases->isCheckable());
  EXPECT_TRUE(phases->isChecked()) << "on by default";
  CVelkoraView& view = *frame.view();
  ASSERT_EQ(view.state().displayMode, DisplayMode::CurveGraph);
  view.resize(900, 560);
  const QImage with = view.grab().toImage();
  RecordingDeviceContext printedWith(true);
  drawPage(printedWith, view.printDocument(), 0, 2770);
  EXPECT_EQ(phaseLabels(printedWith), 5);

  phases->trigger();
  EXPECT_FALSE(phases->isChecked());
  EXPECT_FALSE(view.state().showPhases);
  const QImage without = view.grab().toImage();
  EXPECT_NE(with, without);
  RecordingDeviceContext printedWithout(true);
  drawPage(printedWithout, view.printDocument(), 0, 2770);
  EXPECT_EQ(phaseLabels(printedWithout), 0);
  // Without the phases the screen is the plain curve graph: only the shading and the labels went.
  int shaded = 0;
  for (int y = 0; y < with.height(); ++y)
    for (int x = 0; x < with.width(); ++x) shaded += with.pixel(x, y) != without.pixel(x, y);
  EXPECT_GT(shaded, 1000);

  // The next run starts without them, until they are turned on again.
  f.app.reset();
  StartOptions options;
  options.file = file;
  f.startAsIs(options);
  EXPECT_FALSE(f.app->mainFrame()->action(cmd::kShowPhases)->isChecked());
  EXPECT_FALSE(f.app->mainFrame()->view()->printDocument().curve.showPhases);
  f.app->mainFrame()->sendCommand(cmd::kShowPhases);
  EXPECT_TRUE(f.app->mainFrame()->action(cmd::kShowPhases)->isChecked());
  EXPECT_TRUE(f.app->mainFrame()->view()->printDocument().curve.showPhases);
}

}  // namespace
}  // namespace velkora
