// The subject library in the window, as a user meets it: files indexed when opened and saved, the
// search, the subject's tests, a test opened by Enter through the main window's own open path; the
// trend and the comparison; the start-up scan in the background; a damaged library rebuilt.

#include "desktop/library/library_window.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QTableView>
#include <QTest>
#include <cstdlib>
#include <filesystem>

#include "desktop/library/compare_panel.h"
#include "desktop/library/desktop_library.h"
#include "desktop/library/library_graph_view.h"
#include "desktop/library/trend_panel.h"
#include "desktop/library/window_library.h"
#include "desktop/main_frame.h"
#include "desktop/models/subject_list_model.h"
#include "desktop/models/test_list_model.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"
#include "support/measurement_files.h"
#include "view/trend_graph.h"

namespace velkora {
namespace {

namespace fs = std::filesystem;
using testing::ModalScript;
using testing::UiFixture;
using testing::waitUntil;

std::string cell(const QAbstractItemModel& model, int row, int column) {
  return model.data(model.index(row, column)).toString().toStdString();
}

std::string writeTest(const std::string& path, const std::string& name, TestKind kind, int32_t testTime,
                      int32_t flight = 450) {
  fs::create_directories(fs::path(path).parent_path());
  testing::GeneratedTest test;
  test.name = name;
  test.kind = kind;
  test.testTime = testTime;
  test.flight = flight;
  EXPECT_TRUE(testing::writeGeneratedTest(path, test)) << path;
  return path;
}

DesktopLibrary& libraryOf(UiFixture& f) { return *f.app->library(); }

// Waits until the start-up scan (or a later one) ended and its summary reached the status bar.
bool waitForScan(UiFixture& f) {
  DesktopLibrary& library = libraryOf(f);
  return waitUntil([&] { return !library.session().scanning() && !library.statusNote()->text().contains("scanning"); },
                   30000);
}

LibraryWindow& openLibraryWindow(UiFixture& f) {
  EXPECT_TRUE(f.app->mainFrame()->sendCommand(cmd::kLibrary));
  LibraryWindow* window = libraryOf(f).window();
  EXPECT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  return *window;
}

void clickRow(QTableView* list, int row) {
  const QRect r = list->visualRect(list->model()->index(row, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

TEST(LibraryWindow, FilesOpenedAndSavedAreFoundBySearchAndATestOpensByEnterAfterTheUnsavedQuestion) {
  UiFixture f;
  f.start();
  ASSERT_TRUE(waitForScan(f));
  CMainFrame& frame = *f.app->mainFrame();
  // Two recorded files: one outside the data folder, one in it; the window indexes what it opens.
  const std::string anna = writeTest(f.root.file("elsewhere/anna.tsr"), "Anna Meier", TestKind::Power, 1714550400);
  const std::string bert = writeTest(f.dataFolder() + "/club/bert.vkr", "Bert Novak", TestKind::Force, 1714640400);
  ASSERT_TRUE(frame.openFile(anna));
  ASSERT_TRUE(frame.openFile(bert));
  f.records.store->saved.store(0);  // the recording in memory has changes

  LibraryWindow& window = openLibraryWindow(f);
  SubjectListModel& subjects = window.subjectModel();
  ASSERT_EQ(subjects.rowCount(), 2);
  testing::saveGrab(window, "library_window_two_subjects");

  // The search filters as one types, in any letter case.
  QTest::keyClicks(window.searchField(), "ANN");
  ASSERT_EQ(subjects.rowCount(), 1);
  EXPECT_EQ(cell(subjects, 0, SubjectListModel::Name), "Anna Meier");
  EXPECT_EQ(cell(subjects, 0, SubjectListModel::Tests), "1");
  EXPECT_EQ(cell(subjects, 0, SubjectListModel::LastTest), listedDate(1714550400).toStdString());
  QTest::keyClicks(window.searchField(), "x");
  EXPECT_EQ(subjects.rowCount(), 0);
  QTest::keyClick(window.searchField(), Qt::Key_Backspace);
  ASSERT_EQ(subjects.rowCount(), 1);

  clickRow(window.subjectList(), 0);
  TestListModel& tests = window.testModel();
  ASSERT_EQ(tests.rowCount(), 1);
  EXPECT_EQ(cell(tests, 0, TestListModel::Kind), "power");
  // A flight of 450 ms is a jump of 24.8 cm; the take-off velocity says about the same.
  EXPECT_NEAR(std::stod(cell(tests, 0, TestListModel::Flight)), 24.8, 0.3);
  EXPECT_NEAR(std::stod(cell(tests, 0, TestListModel::Jump)), 24.8, 1.5);
  EXPECT_EQ(cell(tests, 0, TestListModel::PeakForce), "") << "no force metric on a power test";

  {
    ModalScript script;
    script.answer(QMessageBox::No);
    window.testList()->setFocus();
    QTest::keyClick(window.testList(), Qt::Key_Return);
    EXPECT_EQ(script.messages, std::vector<std::string>{"Data not saved. Save?"});
  }
  EXPECT_EQ(f.records.paths.currentFilePath, anna);
  EXPECT_EQ(f.records.subject.name, "Anna Meier");
  EXPECT_EQ(f.records.store->testKind, TestKind::Power);
  EXPECT_EQ(frame.view()->state().displayMode, DisplayMode::CurveGraph);

  // Saved under another subject's name into the data folder: indexed at once, the window follows.
  f.records.subject.name = "Carla Dahl";
  {
    ModalScript script;
    script.chooseFile(f.dataFolder() + "/carla.tsr");
    ASSERT_TRUE(frame.save());
  }
  window.searchField()->clear();
  ASSERT_EQ(subjects.rowCount(), 3);
  EXPECT_EQ(cell(subjects, 2, SubjectListModel::Name), "Carla Dahl");

  // A file gone from the data folder is found missing by the next scan and shown greyed.
  fs::remove(bert);
  libraryOf(f).session().startScan();
  ASSERT_TRUE(waitForScan(f));
  EXPECT_EQ(libraryOf(f).statusNote()->text().toStdString(),
            "Library: 0 added, 0 updated, 1 unchanged, 1 missing, 0 failed");
  QTest::keyClicks(window.searchField(), "bert");
  ASSERT_EQ(subjects.rowCount(), 1);
  EXPECT_EQ(cell(subjects, 0, SubjectListModel::Tests), "0 (+1 missing)");
  window.chooseSubject(0);
  ASSERT_EQ(tests.rowCount(), 1);
  EXPECT_EQ(cell(tests, 0, TestListModel::File), "bert.vkr (missing)");
  EXPECT_EQ(tests.data(tests.index(0, 0), Qt::ForegroundRole).value<QBrush>().color(), QColor(150, 150, 150));
  testing::saveGrab(window, "library_window_missing");
}

TEST(LibraryWindow, TrendDrawsTheSubjectsValuesWithTheBestMarkedAndTheComparisonOverlaysTests) {
  UiFixture f;
  // Three jumps of Dora and a force test of Emil in the data folder: the start-up scan finds them.
  const int32_t day = 86400;
  const int32_t flights[] = {400, 500, 450};
  std::vector<std::string> dora;
  for (int k = 0; k < 3; ++k)
    dora.push_back(writeTest(f.dataFolder() + "/dora" + std::to_string(k) + ".tsr", "Dora Berg", TestKind::Power,
                             1714550400 + 7 * k * day, flights[k]));
  writeTest(f.dataFolder() + "/emil.vkr", "Emil Costa", TestKind::Force, 1714550400 + day);
  f.start();
  ASSERT_TRUE(waitForScan(f));
  EXPECT_EQ(libraryOf(f).statusNote()->text().toStdString(),
            "Library: 4 added, 0 updated, 0 unchanged, 0 missing, 0 failed");

  LibraryWindow& window = openLibraryWindow(f);
  ASSERT_EQ(window.subjectModel().rowCount(), 2);
  window.chooseSubject(0);
  ASSERT_EQ(window.testModel().rowCount(), 3);
  EXPECT_EQ(cell(window.testModel(), 0, TestListModel::Date), listedDate(1714550400 + 14 * day).toStdString())
      << "newest first";

  // The trend of the jump height: three points over the dates, the highest jump (the 500 ms flight) best.
  TrendPanel& trend = window.trend();
  window.pages()->setCurrentWidget(&trend);
  EXPECT_EQ(trend.currentMetric(), "jumpHeightTakeoffVelocity_cm");
  const TrendGraph& graph = trend.graph();
  ASSERT_EQ(graph.points.size(), 3u);
  EXPECT_EQ(bestTrendPoint(graph.points, graph.lowerIsBetter), 1);
  EXPECT_LT(graph.points[0].value, graph.points[2].value);
  EXPECT_LT(graph.points[2].value, graph.points[1].value);

  testing::saveGrab(window, "library_trend");

  // Its values as text, oldest first, the best marked; the graph as a picture file.
  trend.copyValues();
  const QStringList lines = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], "Date\tJump height (take-off velocity) (cm)\tFile");
  EXPECT_TRUE(lines[2].endsWith(QStringLiteral("dora1.tsr\tbest"))) << lines[2].toStdString();
  EXPECT_FALSE(lines[1].contains(QStringLiteral("best")));
  {
    ModalScript script;
    script.chooseFile(f.root.file("trend.png"));
    trend.exportGraph();
  }
  const QImage exported(QString::fromStdString(f.root.file("trend.png")));
  EXPECT_EQ(exported.size(), trend.graphView()->size());

  // The comparison: two of Dora's jumps and Emil's force test, drawn over each other, aligned.
  window.pages()->setCurrentIndex(0);
  window.testList()->selectRow(0);
  window.testList()->selectionModel()->select(window.testModel().index(2, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
  window.compareSelected();
  window.chooseSubject(1);
  window.testList()->selectRow(0);
  window.compareSelected();
  ComparePanel& compare = window.compare();
  EXPECT_EQ(window.pages()->currentWidget(), &compare);
  ASSERT_EQ(compare.curves().size(), 3u);
  for (const CompareCurve& curve : compare.curves()) EXPECT_TRUE(curve.aligned) << curve.label;
  EXPECT_EQ(compare.curves()[2].kind, TestKind::Force);
  EXPECT_EQ(compare.curves()[0].label, compareLabel("Dora Berg", 1714550400 + 14 * day));
  testing::saveGrab(window, "library_compare");
  // Printed: one page with the graph.
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(f.root.file("compare.pdf")));
  ASSERT_TRUE(printLibraryGraph(printer, compare.graphView()->drawing()));
  EXPECT_TRUE(testing::readFile(f.root.file("compare.pdf")).starts_with("%PDF"));
}

TEST(LibraryWindow, TheStartUpScanRunsBesideAWindowThatKeepsAnswering) {
  UiFixture f;
  constexpr int kFiles = 3000;
  for (int k = 0; k < kFiles; ++k) {
    testing::GeneratedTest test;
    test.name = "Subject " + std::to_string(k % 300);
    test.kind = k % 2 == 0 ? TestKind::Power : TestKind::Force;
    test.samples = 3000;
    test.testTime = 1700000000 + k * 600;
    const std::string folder = f.dataFolder() + "/" + std::to_string(k / 500);
    if (k % 500 == 0) fs::create_directories(folder);
    ASSERT_TRUE(testing::writeGeneratedTest(folder + "/" + std::to_string(k) + (k % 2 == 0 ? ".tsr" : ".vkr"), test));
  }
  QElapsedTimer startClock;
  startClock.start();
  f.start();
  const double startMs = startClock.nsecsElapsed() / 1e6;
  DesktopLibrary& library = libraryOf(f);
  ASSERT_TRUE(library.session().scanning()) << "the scan runs after the window is up";
  EXPECT_LT(startMs, 1000.0) << "start-up does not wait for the scan";

  // While it runs: the event loop turns, the status bar says so, the library window opens and searches.
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0, longestGap = 0;
  int turnsWhileScanning = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    longestGap = std::max(longestGap, now - last);
    last = now;
    if (library.session().scanning()) ++turnsWhileScanning;
  });
  ticker.start(5);
  LibraryWindow& window = openLibraryWindow(f);
  QTest::keyClicks(window.searchField(), "subject 1");
  const bool notedWhileScanning = waitUntil([&] { return library.statusNote()->text().contains("of 3000 files"); });
  ASSERT_TRUE(waitForScan(f));
  ticker.stop();
  std::printf("start-up scan of %d files: %.0f ms; longest event-loop gap meanwhile %lld ms over %d turns\n", kFiles,
              clock.nsecsElapsed() / 1e6, static_cast<long long>(longestGap), turnsWhileScanning);
  EXPECT_TRUE(notedWhileScanning);
  EXPECT_GT(turnsWhileScanning, 20);
  EXPECT_LT(longestGap, 250);
  EXPECT_EQ(library.statusNote()->text().toStdString(),
            "Library: 3000 added, 0 updated, 0 unchanged, 0 missing, 0 failed");
  // The window read the library again when the scan ended: "subject 1", "subject 10".."subject 199".
  EXPECT_EQ(window.subjectModel().rowCount(), 111);
}

TEST(LibraryWindow, ADamagedLibraryIsMovedAsideAndRebuiltFromTheDataFolderWithOneMessage) {
  UiFixture f;
  writeTest(f.dataFolder() + "/anna.tsr", "Anna Meier", TestKind::Power, 1714550400);
  testing::writeFile(f.programDir() + "/library.sqlite", std::string(8192, 'x'));
  ModalScript script;
  script.answer(QMessageBox::Ok);
  f.start();
  ASSERT_TRUE(waitForScan(f));
  ASSERT_TRUE(waitUntil([&] { return script.done(); }));
  ASSERT_EQ(script.messages.size(), 1u);
  EXPECT_NE(script.messages[0].find("It was moved to"), std::string::npos) << script.messages[0];
  EXPECT_EQ(libraryOf(f).session().shownMessages().size(), 1u);
  EXPECT_EQ(libraryOf(f).statusNote()->text().toStdString(),
            "Library: 1 added, 0 updated, 0 unchanged, 0 missing, 0 failed");
  bool movedAside = false;
  for (const fs::directory_entry& entry : fs::directory_iterator(f.programDir()))
    movedAside |= entry.path().filename().string().starts_with("library.sqlite.damaged-");
  EXPECT_TRUE(movedAside);
  LibraryWindow& window = openLibraryWindow(f);
  EXPECT_EQ(window.subjectModel().rowCount(), 1);
}

TEST(LibraryWindow, TheLibraryOfTheCommandLineIsTheOneUsedAndAnUnusableServerIsReportedUnavailable) {
  {
    UiFixture f;
    StartOptions options;
    options.library = f.root.file("team/my library.sqlite");
    fs::create_directories(f.root.file("team"));
    const std::string jump = writeTest(f.root.file("jump.tsr"), "Anna Meier", TestKind::Power, 1714550400);
    options.file = jump;
    f.start(options);
    EXPECT_EQ(f.records.paths.libraryPath, options.library);
    EXPECT_EQ(libraryOf(f).session().location(), options.library);
    EXPECT_TRUE(fs::exists(options.library));
    EXPECT_FALSE(fs::exists(f.programDir() + "/library.sqlite")) << "the default library stays untouched";
    // The file of the command line was indexed into it.
    std::optional<LibraryTestEntry> entry;
    ASSERT_TRUE(libraryOf(f).session().service()->testAtPath(jump, entry).ok());
    EXPECT_TRUE(entry.has_value());
  }
  // A server library that cannot be used at all (no such service): said so, and the window works without it.
  UiFixture f;
  StartOptions options;
  options.library = "service=velkora_no_such_service";
  f.start(options);
  ASSERT_TRUE(waitUntil([&] { return !libraryOf(f).session().opening(); }, 5000));
  EXPECT_FALSE(libraryOf(f).session().available());
  EXPECT_TRUE(libraryOf(f).statusNote()->text().startsWith("Library not available: "))
      << libraryOf(f).statusNote()->text().toStdString();
  LibraryWindow& window = openLibraryWindow(f);
  EXPECT_TRUE(window.statusNote()->text().contains("cannot be used")) << window.statusNote()->text().toStdString();
  EXPECT_EQ(window.subjectModel().rowCount(), 0);
}

}  // namespace
}  // namespace velkora
