// Reports in the list: the rows, the header, the interval list, Copy, Copy All and Export csv.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "desktop/dialog_bar.h"
#include "desktop/force_list.h"
#include "desktop/main_frame.h"
#include "desktop/measurement_files.h"
#include "desktop/ml_header_ctrl.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"
#include "reports/digital_reports.h"
#include "reports/report_export.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::UiFixture;

std::vector<std::string> listRow(const CforceList& list, int row) {
  std::vector<std::string> cells;
  for (int c = 0; c < list.model()->columnCount(); ++c)
    cells.push_back(list.model()->index(row, c).data().toString().toStdString());
  return cells;
}

std::vector<std::string> reportRow(const DigitalReport& report, int row) {
  std::vector<std::string> cells;
  for (int c = 0; c < report.columns->count; ++c) cells.emplace_back(report.rows.cell(row, c));
  return cells;
}

// Opens a file as the command line would and shows a report by its command.
class ReportListTest : public ::testing::Test {
 protected:
  CMainFrame& openAndShow(std::unique_ptr<MeasurementStore> recording, const char* file, int32_t command) {
    const std::string path = testing::saveRecording(*recording, fixture.root.file(file));
    StartOptions options;
    options.file = path;
    fixture.start(options);
    CMainFrame& frame = *fixture.app->mainFrame();
    EXPECT_TRUE(frame.sendCommand(command));
    return frame;
  }
  CforceList& list() { return *fixture.app->mainFrame()->view()->reportList(); }
  MeasurementStore& store() { return *fixture.records.store; }

  UiFixture fixture;
};

TEST_F(ReportListTest, DigitalReportRowsAreTheCoreTextsAndTheIntervalListOffersEverySample) {
  CMainFrame& frame = openAndShow(testing::forceRecording(1234), "f.vkr", cmd::kDigitalReport);
  DigitalReport expected;
  fillIntervalReport(store(), 1, false, expected);
  ASSERT_EQ(list().rowCount(), 1234);
  for (int row : {0, 1, 617, 1233}) EXPECT_EQ(listRow(list(), row), reportRow(expected, row)) << row;
  EXPECT_TRUE(list().isVisible());
  EXPECT_EQ(list().horizontalHeader()->height(), 48);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(list().columnWidth(c), forceIntervalColumns.screenWidths[c]);

  ASSERT_EQ(frame.shownBar(), cmd::kReportBar);
  QComboBox* intervals = frame.dialogBar()->list(cmd::kIntervalList);
  ASSERT_NE(intervals, nullptr);
  EXPECT_EQ(intervals->count(), 1234);
  EXPECT_EQ(intervals->currentIndex(), 0);
  EXPECT_EQ(intervals->itemText(0).toStdString(), "Time (ms) 1");
  EXPECT_EQ(intervals->itemText(1233).toStdString(), "Time (ms) 1234");

  // The fifth entry: intervals of 5 samples.
  emit intervals->activated(4);
  DigitalReport byFive;
  fillIntervalReport(store(), 5, false, byFive);
  ASSERT_EQ(list().rowCount(), byFive.rows.rowCount());
  EXPECT_EQ(listRow(list(), 246), reportRow(byFive, 246));
  EXPECT_EQ(listRow(list(), 0)[0], "       1 -       5");

  // Choosing the digital report again while it is shown changes nothing.
  frame.sendCommand(cmd::kDigitalReport);
  EXPECT_EQ(list().rowCount(), byFive.rows.rowCount());
}

TEST_F(ReportListTest, PowerReportsInTheirLayoutsAndTheBarsTheyShow) {
  CMainFrame& frame = openAndShow(testing::powerRecording(), "p.tsr", cmd::kDigitalReport);
  QComboBox* intervals = frame.dialogBar()->list(cmd::kIntervalList);
  emit intervals->activated(4);
  DigitalReport expected;
  fillPowerReport(store(), 5, expected);
  ASSERT_EQ(list().model()->columnCount(), 6);
  ASSERT_EQ(list().rowCount(), expected.rows.rowCount());
  EXPECT_EQ(listRow(list(), 300), reportRow(expected, 300));

  frame.sendCommand(cmd::kSummaryReport);
  EXPECT_EQ(frame.shownBar(), 0) << "the summary report shows no bar";
  DigitalReport summary;
  fillSummaryReport(store(), summary);
  ASSERT_EQ(list().rowCount(), summary.rows.rowCount());
  for (int r = 0; r < summary.rows.rowCount(); ++r) EXPECT_EQ(listRow(list(), r), reportRow(summary, r));

  frame.sendCommand(cmd::kHeightReport);
  DigitalReport height;
  fillHeightReport(store(), height);
  EXPECT_EQ(listRow(list(), 0), reportRow(height, 0));
  EXPECT_EQ(list().model()->headerData(1, Qt::Horizontal).toString().toStdString(), " \n ");

  frame.sendCommand(cmd::kCurveGraph);
  EXPECT_FALSE(list().isVisible());
  EXPECT_EQ(list().model()->columnCount(), 0) << "leaving a report empties the list";
  EXPECT_EQ(list().rowCount(), 0);
}

TEST_F(ReportListTest, RepetitionReportAndItsIntervals) {
  CMainFrame& frame = openAndShow(testing::forceRecording(100), "r.vkr", cmd::kRepetitionReport);
  QComboBox* intervals = frame.dialogBar()->list(cmd::kIntervalList);
  ASSERT_EQ(intervals->count(), 3);
  EXPECT_EQ(intervals->itemText(2).toStdString(), "Repetiton Interval 3");
  emit intervals->activated(1);
  DigitalReport expected;
  fillIntervalReport(store(), 2, true, expected);
  ASSERT_EQ(list().rowCount(), 2);
  EXPECT_EQ(listRow(list(), 1), reportRow(expected, 1));
  EXPECT_EQ(listRow(list(), 0)[0], "       1 -       2");
}

TEST_F(ReportListTest, CopyOfRowsTwoAndFiveAndCopyWithoutSelection) {
  CMainFrame& frame = openAndShow(testing::forceRecording(50), "c.vkr", cmd::kDigitalReport);
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(QStringLiteral("before"));
  {
    ModalScript script;
    script.answer(QMessageBox::Ok);
    frame.dialogBar()->button(cmd::kCopy)->click();
    EXPECT_EQ(script.messages, std::vector<std::string>{"No items were selected!"});
    EXPECT_TRUE(script.done());
  }
  EXPECT_EQ(clipboard->text().toStdString(), "before");

  // Rows 2 and 5 (counted from 1), picked with Ctrl-clicks.
  QAbstractItemModel* model = list().model();
  list().selectionModel()->select(model->index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  list().selectionModel()->select(model->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  frame.dialogBar()->button(cmd::kCopy)->click();
  std::string expected;
  CollectingMessageSink none;
  const int32_t rows[] = {1, 4};
  ASSERT_TRUE(copySelectedText(list().report(), rows, expected, none));
  EXPECT_EQ(clipboard->text().toStdString(), expected);
  const std::string text = clipboard->text().toStdString();
  EXPECT_EQ(text.substr(0, text.find("\r\n")), "Time interval  Vertical Force   Horizontal Force  Vector Force  ");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
}

TEST_F(ReportListTest, CopyAllOfAnEmptyListGivesTheHeaderLines) {
  CMainFrame& frame = openAndShow(testing::forceRecording(0), "e.vkr", cmd::kDigitalReport);
  EXPECT_EQ(list().rowCount(), 0);
  EXPECT_EQ(frame.dialogBar()->list(cmd::kIntervalList)->count(), 0);
  frame.dialogBar()->button(cmd::kCopyAll)->click();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            "Time interval  Vertical Force   Horizontal Force  Vector Force  \r\n(ms)  (N)  (N)  (N)  \r\n");
}

TEST_F(ReportListTest, ExportCsvWritesTheCoreTextWhereTheUserChose) {
  CMainFrame& frame = openAndShow(testing::forceRecording(300), "x.vkr", cmd::kDigitalReport);
  const std::string target = fixture.dataFolder() + "/export";  // the dialog adds ".csv"
  {
    ModalScript script;
    script.chooseFile(target);
    frame.dialogBar()->button(cmd::kExportCsv)->click();
    ASSERT_EQ(script.fileDialogs.size(), 1u);
    EXPECT_EQ(script.fileDialogs[0], "CSV Files (*.csv)|csv|" + fixture.dataFolder() + "|");
    EXPECT_TRUE(script.unexpected.empty());
  }
  const std::string expected =
      csvExportText(list().report(), fixture.records.subject.name, store().testTime, csvSeparatorForLocale());
  EXPECT_EQ(testing::readFile(target + ".csv"), expected);
  EXPECT_EQ(expected.substr(0, 11), "Name: Ana\r\n");

  // Cancelling writes nothing.
  std::filesystem::remove(target + ".csv");
  {
    ModalScript cancel;
    cancel.chooseFile("");
    frame.sendCommand(cmd::kExportCsv);
    EXPECT_FALSE(std::filesystem::exists(target + ".csv"));
  }
  // A file that cannot be written is reported.
  ModalScript failing;
  failing.chooseFile("/proc/self/report.csv").answer(QMessageBox::Ok);
  frame.sendCommand(cmd::kExportCsv);
  EXPECT_EQ(failing.messages, std::vector<std::string>{"File Save Error"});
}

TEST_F(ReportListTest, HeaderCellsAreGreyAndTheGrabShowsTheReport) {
  CMainFrame& frame = openAndShow(testing::forceRecording(61000), "g.vkr", cmd::kDigitalReport);
  frame.resize(800, 600);
  QCoreApplication::processEvents();
  const QImage image = frame.grab().toImage();
  if (const char* dir = std::getenv("VELKORA_GRAB_DIR")) image.save(QString::fromLocal8Bit(dir) + "/report.png");
  // A point in the first header cell, clear of its text: the grey of the header.
  const QPoint inHeader = list().mapTo(&frame, QPoint(list().frameWidth() + 3, list().frameWidth() + 44));
  EXPECT_EQ(image.pixelColor(inHeader), QColor(200, 200, 200));
  // The first row starts below the 48-pixel header.
  EXPECT_GE(list().visualRect(list().model()->index(0, 0)).top(), 0);
  EXPECT_EQ(list().viewport()->mapTo(&list(), QPoint(0, 0)).y(), list().frameWidth() + 48);
}

}  // namespace
}  // namespace velkora
