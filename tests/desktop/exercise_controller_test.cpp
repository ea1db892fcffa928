// Tests with the plate in the desktop program, end to end on the simulated plate: force tests in
// time and repetition mode, a power test through the Power dialog, STOP, a plate that is absent or
// unplugged during a test, and the calibration that writes the configuration.

#include <gtest/gtest.h>

#include <QImage>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>
#include <QWidgetAction>
#include <clocale>
#include <cstdlib>
#include <map>

#include "desktop/dialogs/check_dlg.h"
#include "desktop/dialogs/simulated_subject_dlg.h"
#include "desktop/force_list.h"
#include "desktop/measurement_files.h"
#include "desktop/plate_fixture.h"
#include "desktop/simulated_plate_menu.h"
#include "reports/metrics_report.h"
#include "reports/test_metrics.h"
#include "storage/configuration_file.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::PlateFixture;
using testing::press;
using testing::type;
using testing::waitUntil;

// The commands a running test forbids, and some it leaves alone.
constexpr int32_t kForbidden[] = {cmd::kPerform,    cmd::kPowerPerform,  cmd::kCheck,       cmd::kCalibration,
                                  cmd::kOpenForce,  cmd::kOpenPower,     cmd::kSave,        cmd::kDigitalReport,
                                  cmd::kCurveGraph, cmd::kSummaryReport, cmd::kHeightReport};
constexpr int32_t kAllowed[] = {cmd::kSubjectInfo, cmd::kGraphSetup, cmd::kSetup, cmd::kAbout, cmd::kExit};

TEST(PlateTests, ForceTestsEndInTheCurveGraphOrTheBarGraphWithTheirSamples) {
  struct Case {
    int32_t mode;
    int32_t value;
    DisplayMode shown;
    int32_t bar;
  };
  const Case cases[] = {{0, 2, DisplayMode::CurveGraph, cmd::kCurveBar},
                        {1, 3, DisplayMode::BarGraph, cmd::kRepetitionBar}};
  for (const Case& c : cases) {
    PlateFixture f;
    f.start(",fast");
    f.ui.records.paths.currentFilePath = "/somewhere/old.vkr";
    int32_t sounds = 0;
    f.frame().setStartSound([&sounds] { ++sounds; });
    // The running test announces itself: started once, ticked every 100 ms, ended once.
    std::vector<std::string> announced;
    QObject::connect(&f.tests(), &ExerciseController::started, [&](TestKind, int32_t seconds, bool repetitions) {
      announced.push_back("started " + std::to_string(seconds) + (repetitions ? " repetitions" : ""));
    });
    int32_t ticks = 0;
    QObject::connect(&f.tests(), &ExerciseController::ticked, [&ticks](const TestTick&) { ++ticks; });
    QObject::connect(&f.tests(), &ExerciseController::ended, [&](TestEnd end, bool) {
      announced.push_back(end == TestEnd::Finished ? "finished" : "other end");
    });
    f.perform(c.mode, c.value);
    EXPECT_EQ(sounds, 1) << "the start sound plays once the test has started";
    // Running: the stop bar, the live display, and the commands a test forbids are off.
    ASSERT_TRUE(f.tests().testRunning()) << c.mode;
    EXPECT_EQ(f.mode(), DisplayMode::ForceTestLive);
    EXPECT_EQ(f.frame().shownBar(), cmd::kStopBar);
    EXPECT_EQ(f.ui.records.paths.currentFilePath, "");
    EXPECT_EQ(f.store().recordingAvailable.load(), 0);
    EXPECT_EQ(f.view().state().sampleWindowEnd, c.value * 1000);
    for (int32_t id : kForbidden) EXPECT_FALSE(f.enabled(id)) << id;
    for (int32_t id : kAllowed) EXPECT_TRUE(f.enabled(id)) << id;
    EXPECT_FALSE(f.frame().sendCommand(cmd::kOpenForce)) << "refused however it comes";
    testing::saveGrab(f.frame(), c.mode == 0 ? "live_curve_start" : "live_bars_start");

    ASSERT_TRUE(f.waitForEnd()) << c.mode;
    EXPECT_EQ(f.mode(), c.shown);
    EXPECT_EQ(f.frame().shownBar(), c.bar);
    EXPECT_EQ(f.store().recordingAvailable.load(), 1);
    EXPECT_EQ(f.store().saved.load(), 0);
    EXPECT_EQ(f.store().testKind, TestKind::Force);
    EXPECT_FALSE(f.tests().testTimer().isActive());
    EXPECT_FALSE(f.tests().plate().running());
    EXPECT_GE(ticks, 1);
    const std::string start = "started " + std::to_string(c.value) + (c.mode == 1 ? " repetitions" : "");
    EXPECT_EQ(announced, (std::vector<std::string>{start, "finished"}));
    for (int32_t id : {cmd::kPerform, cmd::kCheck, cmd::kSave, cmd::kDigitalReport, cmd::kCurveGraph})
      EXPECT_TRUE(f.enabled(id)) << id;
    if (c.mode == 0) {
      EXPECT_EQ(f.store().sampleCount.load(), 2000) << "exactly the test's time from the start force";
      EXPECT_EQ(f.view().state().sampleWindowEnd, 2000);
      // The first sample reached the start force of 20 N.
      const float first =
          forceAt(f.store(), 0, ForceChannel::Vertical) + forceAt(f.store(), 0, ForceChannel::Horizontal);
      EXPECT_GE(first, 20.0f);
    } else {
      EXPECT_EQ(f.store().repetitions.count.load(), 3);
      EXPECT_TRUE(f.enabled(cmd::kBarGraph));
      EXPECT_TRUE(f.enabled(cmd::kRepetitionReport));
      // Each push of the simulated subject peaks at 800 N on a plate of 1 N per count.
      for (int32_t r = 0; r < 3; ++r)
        EXPECT_NEAR(f.store().repetitions.peakVertical[r], 800 * f.ui.records.calibration.coefficientVertical, 15) << r;
    }
    testing::saveGrab(f.frame(), c.mode == 0 ? "curve_after_test" : "bars_after_test");
  }
}

// Pure blue pixels (the live curve's Y1 pen, the bar graph's axis labels) inside a rectangle of a
// picture of the view.
int32_t bluePixelsIn(const QImage& picture, const Rect& r) {
  int32_t n = 0;
  const qreal ratio = picture.devicePixelRatio();
  for (int32_t y = static_cast<int32_t>(r.top * ratio); y < static_cast<int32_t>(r.bottom * ratio); ++y)
    for (int32_t x = static_cast<int32_t>(r.left * ratio); x < static_cast<int32_t>(r.right * ratio); ++x)
      n += picture.pixel(x, y) == qRgb(0, 0, 255) ? 1 : 0;
  return n;
}

// A test started while a report is shown draws its live graph from the first tick on: the report
// list stays hidden, also when the dialog bar's change resizes the view, until a report is chosen again.
TEST(PlateTests, ATestStartedOverAReportShowsItsLiveGraphAndNoReportList) {
  for (const int32_t mode : {0, 1}) {
    PlateFixture f;
    auto recording = testing::forceRecording(1500);
    f.start("", testing::saveRecording(*recording, f.ui.root.file("before.vkr")));
    f.frame().action(cmd::kDigitalReport)->trigger();
    ASSERT_EQ(f.mode(), DisplayMode::DigitalReport);
    ASSERT_TRUE(f.view().reportList()->isVisible());
    f.perform(mode, 4, 0);
    ASSERT_TRUE(f.tests().testRunning()) << mode;
    // Some ticks in, with the stop bar in the report bar's place.
    ASSERT_TRUE(waitUntil([&] { return f.store().sampleCount.load() > 500; }, 5000)) << mode;
    EXPECT_EQ(f.mode(), DisplayMode::ForceTestLive) << mode;
    EXPECT_EQ(f.frame().shownBar(), cmd::kStopBar) << mode;
    EXPECT_FALSE(f.view().reportList()->isVisible()) << mode;
    EXPECT_TRUE(f.view().reportList()->geometry().isEmpty()) << mode;
    const QImage picture = f.view().grab().toImage();
    testing::saveGrab(f.frame(), mode == 0 ? "live_curve_over_report" : "live_bars_over_report");
    EXPECT_GT(bluePixelsIn(picture, f.view().layout().reportList), 50) << "the live graph shows, mode " << mode;
    f.frame().dialogBar()->button(cmd::kStop)->click();
    EXPECT_FALSE(f.view().reportList()->isVisible()) << mode;
    f.frame().action(cmd::kDigitalReport)->trigger();
    EXPECT_TRUE(f.view().reportList()->isVisible()) << "a report chosen again shows the list, mode " << mode;
  }
}

TEST(PlateTests, PowerTestWeighsJumpsAndOffersHeightsThatMatchTheFlightTime) {
  PlateFixture f;
  f.start(",fast");
  // The subject of the simulated plate, set through its menu.
  SimulatedPlateMenu* plateMenu = f.frame().simulatedPlateMenu();
  ASSERT_NE(plateMenu, nullptr);
  {
    ModalScript script;
    script.then([](QWidget* w) {
      auto* dialog = qobject_cast<SimulatedSubjectDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      type(dialog, SimulatedSubjectDlg::kMass, "70");
      type(dialog, SimulatedSubjectDlg::kFlightTime, "500");
      press(dialog, kIdOk);
    });
    EXPECT_EQ(plateMenu->summaryAction()->text(), "Subject: 75 kg, 3 pushes of 800 N for 400 ms, flight 450 ms");
    plateMenu->subjectAction()->trigger();
    ASSERT_TRUE(script.done());
  }
  // The menu's first line says what the subject will do.
  plateMenu->menu()->popup(f.frame().mapToGlobal(QPoint(400, 20)));
  ASSERT_TRUE(waitUntil([&] { return plateMenu->menu()->isVisible(); }));
  EXPECT_EQ(plateMenu->summaryAction()->text(), "Subject: 70 kg, 3 pushes of 800 N for 400 ms, flight 500 ms");
  testing::saveGrab(*plateMenu->menu(), "simulated_plate_menu");
  plateMenu->menu()->close();
  ModalScript script;
  script.then([&](QWidget* w) {
    auto* dialog = qobject_cast<CWeightDlg*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Power dialog");
    EXPECT_EQ(testing::lineText(dialog, CWeightDlg::kStatus), "Not done");
    EXPECT_EQ(testing::lineText(dialog, CWeightDlg::kTime), "5");
    EXPECT_EQ(dialog->control<QLabel>(CWeightDlg::kInstruction)->text(),
              "Stand on to the plate. Do not move.\nOperator click Go button.");
    EXPECT_FALSE(dialog->control(kIdOk)->isEnabled());
    type(dialog, CWeightDlg::kTime, "3");
    press(dialog, CWeightDlg::kGo);
    EXPECT_EQ(testing::lineText(dialog, CWeightDlg::kStatus), "In progress");
    EXPECT_FALSE(dialog->control(CWeightDlg::kGo)->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return dialog->control(kIdOk)->isEnabled(); }, 5000));
    EXPECT_EQ(testing::lineText(dialog, CWeightDlg::kStatus), "Done");
    EXPECT_EQ(dialog->control<QLabel>(CWeightDlg::kInstruction)->text(), "Press OK to start test");
    EXPECT_FALSE(dialog->control(CWeightDlg::kGo)->isEnabled());
    EXPECT_EQ(dialog->control<QProgressBar>(CWeightDlg::kProgress)->value(), 0);
    testing::saveGrab(*dialog, "power_dialog_done");
    press(dialog, kIdOk);
  });
  int32_t sounds = 0;
  f.frame().setStartSound([&sounds] { ++sounds; });
  f.frame().action(cmd::kPowerPerform)->trigger();
  ASSERT_TRUE(script.done());
  EXPECT_EQ(sounds, 0) << "a power test starts silently";
  EXPECT_EQ(f.ui.records.app.powerTestTime, 3);
  ASSERT_TRUE(f.tests().testRunning());
  EXPECT_EQ(f.mode(), DisplayMode::PowerTestLive);
  EXPECT_EQ(f.view().state().y1Shown, 0);
  EXPECT_EQ(f.view().state().y2Shown, 0);

  ASSERT_TRUE(f.waitForEnd());
  EXPECT_EQ(f.mode(), DisplayMode::CurveGraph);
  EXPECT_EQ(f.store().testKind, TestKind::Power);
  EXPECT_EQ(f.store().sampleCount.load(), 3000) << "3 s from the first frame";
  const float coefficient = f.ui.records.calibration.coefficientVertical;
  EXPECT_NEAR(f.store().bodyWeight, 70.0f * coefficient, 0.5f) << "the weighing's result in the recording";
  EXPECT_TRUE(f.store().jump.analysed);
  // The moment it ended the status bar told the jump: its heights by take-off velocity and by flight
  // time (a flight of 500 ms is 30.7 cm) and RSI-modified.
  auto* feedback = f.frame().findChild<QLabel*>(QStringLiteral("jumpFeedback"));
  ASSERT_NE(feedback, nullptr);
  EXPECT_TRUE(feedback->isVisible());
  EXPECT_EQ(feedback->text().toStdString(), jumpFeedbackText(computeTestMetrics(f.store(), TestKind::Power)));
  const QRegularExpressionMatch said =
      QRegularExpression(QStringLiteral("^Jump ([0-9.]+) cm \\(flight ([0-9.]+) cm\\), RSI-mod ([0-9.]+)$"))
          .match(feedback->text());
  ASSERT_TRUE(said.hasMatch()) << feedback->text().toStdString();
  EXPECT_NEAR(said.captured(2).toDouble(), 30.7, 1.0);
  EXPECT_NEAR(said.captured(1).toDouble(), said.captured(2).toDouble(), 1.5);
  EXPECT_GT(said.captured(3).toDouble(), 0.1);
  ASSERT_TRUE(f.enabled(cmd::kHeightReport));
  f.frame().action(cmd::kHeightReport)->trigger();
  ASSERT_EQ(f.mode(), DisplayMode::HeightReport);
  const DigitalReport& report = f.view().reportList()->report();
  ASSERT_EQ(report.rows.rowCount(), 3);
  // h = g t^2 / 8 for a flight of t seconds, in centimetres.
  const double expected = 9.81 * 0.5 * 0.5 / 8 * 100;
  EXPECT_EQ(report.rows.cell(0, 0), "h - TAKE OFF IMPULSE:");
  EXPECT_NEAR(std::atof(std::string(report.rows.cell(0, 1)).c_str()), expected, 1.0);
  EXPECT_EQ(report.rows.cell(2, 0), "h - FLIGHT TIME:");
  EXPECT_NEAR(std::atof(std::string(report.rows.cell(2, 1)).c_str()), expected, 1.0);
}

// A take that holds samples is never let go without a question, however its test ended: STOP, Escape
// or a lost plate leave it unsaved, and closing, Open, a new test and the recent files ask about it.
// The weighed body weight is shown: in the Power dialog under its status once the weighing is done,
// with the user's decimal mark, and in the status bar while the power test runs and after it.
TEST(PlateTests, TheWeighedBodyWeightIsShownInThePowerDialogAndTheStatusBar) {
  PlateFixture f;
  f.start(",fast");
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr) << "the de_DE.UTF-8 locale is needed";
  const QRegularExpression shown(QStringLiteral("^Body weight: (\\d+),(\\d) kg$"));
  // 75 kg on a plate of 1.2 N per count.
  const double expected = 75.0 * f.ui.records.calibration.coefficientVertical;
  const auto weightIn = [&](const QString& text) {
    const QRegularExpressionMatch m = shown.match(text);
    return m.hasMatch() ? (m.captured(1) + "." + m.captured(2)).toDouble() : -1.0;
  };
  QLabel* field = f.frame().bodyWeightField();
  ASSERT_NE(field, nullptr);
  EXPECT_FALSE(field->isVisible()) << "no power test yet";
  QString inDialog;
  ModalScript script;
  script.then([&](QWidget* w) {
    auto* dialog = qobject_cast<CWeightDlg*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->control(CWeightDlg::kBodyWeight)->isVisible()) << "nothing weighed yet";
    press(dialog, CWeightDlg::kGo);
    ASSERT_TRUE(waitUntil([&] { return dialog->control(kIdOk)->isEnabled(); }, 5000));
    EXPECT_EQ(testing::lineText(dialog, CWeightDlg::kStatus), "Done");
    EXPECT_TRUE(dialog->control(CWeightDlg::kBodyWeight)->isVisible());
    inDialog = dialog->control<QLabel>(CWeightDlg::kBodyWeight)->text();
    testing::saveGrab(*dialog, "power_dialog_weighed");
    press(dialog, kIdOk);
  });
  f.frame().action(cmd::kPowerPerform)->trigger();
  ASSERT_TRUE(script.done());
  EXPECT_NEAR(weightIn(inDialog), expected, 1.0) << inDialog.toStdString();
  ASSERT_TRUE(f.tests().testRunning());
  EXPECT_TRUE(field->isVisible());
  EXPECT_EQ(field->text(), inDialog) << "while the test runs";
  ASSERT_TRUE(f.waitForEnd());
  EXPECT_TRUE(field->isVisible());
  EXPECT_EQ(field->text(), inDialog) << "after it";
  testing::saveGrab(f.frame(), "power_test_body_weight");
}

TEST(PlateTests, AnEndedTakeIsNeverLostWithoutTheQuestion) {
  enum class Ending { StopButton, Escape, Unplugged };
  enum class Next { Exit, OpenForce, Perform, PowerPerform, RecentFile };
  struct Case {
    Ending ending;
    Next next;
  };
  const Case cases[] = {{Ending::StopButton, Next::Exit},
                        {Ending::Escape, Next::OpenForce},
                        {Ending::Unplugged, Next::Perform},
                        {Ending::StopButton, Next::PowerPerform},
                        {Ending::Escape, Next::RecentFile}};
  for (const Case& c : cases) {
    const std::string label =
        std::to_string(static_cast<int>(c.ending)) + "/" + std::to_string(static_cast<int>(c.next));
    PlateFixture f;
    // A saved file first: the question was not due before the test.
    auto recording = testing::forceRecording(1500);
    f.start("", testing::saveRecording(*recording, f.ui.root.file("before.vkr")));
    ASSERT_EQ(f.store().saved.load(), 1);
    f.perform(0, 10, 0);  // real time, so the test still runs when it is ended
    ASSERT_TRUE(f.tests().testRunning()) << label;
    ASSERT_TRUE(waitUntil([&] { return f.store().sampleCount.load() > 300; }, 5000)) << label;
    switch (c.ending) {
      case Ending::StopButton:
        f.frame().dialogBar()->button(cmd::kStop)->click();
        break;
      case Ending::Escape:
        f.frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f.frame()));
        QTest::keyClick(&f.frame(), Qt::Key_Escape);
        break;
      case Ending::Unplugged: {
        ModalScript lost;
        lost.answer(QMessageBox::Ok);
        f.frame().simulatedPlateMenu()->unplugAction()->trigger();
        ASSERT_TRUE(waitUntil([&] { return lost.done(); }, 3000)) << label;
        EXPECT_EQ(lost.messages, std::vector<std::string>{"Error in communication"});
        break;
      }
    }
    ASSERT_FALSE(f.tests().testRunning()) << label;
    EXPECT_EQ(f.mode(), DisplayMode::Empty) << label;
    EXPECT_EQ(f.store().saved.load(), 0) << label;
    const int32_t kept = f.store().sampleCount.load();
    EXPECT_GT(kept, 300) << label;
    EXPECT_LT(kept, 10000) << label;

    ModalScript script;
    const auto reject = [](QWidget* w) { static_cast<QDialog*>(w)->reject(); };
    switch (c.next) {
      case Next::Exit:
        script.answer(QMessageBox::Cancel);
        f.frame().action(cmd::kExit)->trigger();
        EXPECT_TRUE(f.frame().isVisible()) << "Cancel keeps the window and the take";
        break;
      case Next::OpenForce:
        script.answer(QMessageBox::No).chooseFile("");
        f.frame().action(cmd::kOpenForce)->trigger();
        break;
      case Next::Perform:
        script.answer(QMessageBox::No).then(reject);
        f.frame().action(cmd::kPerform)->trigger();
        break;
      case Next::PowerPerform:
        script.answer(QMessageBox::No).then(reject);
        f.frame().action(cmd::kPowerPerform)->trigger();
        break;
      case Next::RecentFile: {
        QAction* recent = nullptr;
        for (QAction* a : f.frame().menuBar()->actions().front()->menu()->actions())
          if (a->text().startsWith(QStringLiteral("&1 "))) recent = a;
        ASSERT_NE(recent, nullptr);
        script.answer(QMessageBox::No);
        recent->trigger();
        break;
      }
    }
    EXPECT_TRUE(script.done()) << label;
    EXPECT_EQ(script.messages, std::vector<std::string>{"Data not saved. Save?"}) << label;
    if (c.next != Next::RecentFile) {
      EXPECT_EQ(f.store().sampleCount.load(), kept) << label;
    }
  }
}

// Exit during a test ends the test as STOP does, and then asks about its take like any other.
TEST(PlateTests, ClosingTheWindowDuringATestStopsItAndAsksAboutTheTake) {
  for (const QMessageBox::StandardButton answer : {QMessageBox::Cancel, QMessageBox::No}) {
    PlateFixture f;
    f.start("");
    f.perform(0, 10);
    ASSERT_TRUE(waitUntil([&] { return f.store().sampleCount.load() > 200; }, 5000));
    ModalScript script;
    bool stoppedWhenAsked = false;
    script.then([&](QWidget* w) {
      stoppedWhenAsked = !f.tests().testRunning() && !f.tests().plate().running();
      script.messages.push_back(static_cast<QMessageBox*>(w)->text().toStdString());
      static_cast<QMessageBox*>(w)->button(answer)->click();
    });
    f.frame().action(cmd::kExit)->trigger();
    EXPECT_TRUE(script.done()) << answer;
    EXPECT_EQ(script.messages, std::vector<std::string>{"Data not saved. Save?"});
    EXPECT_TRUE(stoppedWhenAsked) << answer;
    EXPECT_FALSE(f.tests().plate().running()) << answer;
    EXPECT_EQ(f.store().recordingAvailable.load(), 1) << answer;
    EXPECT_GT(f.store().sampleCount.load(), 200) << answer;
    EXPECT_EQ(f.frame().isVisible(), answer == QMessageBox::Cancel) << "Cancel keeps the window, No closes it";
  }
}

TEST(PlateTests, AnAbsentPlateIsReportedEverywhereAndThePreviousRecordingStays) {
  PlateFixture f;
  auto recording = testing::forceRecording(1500);
  f.start("absent", testing::saveRecording(*recording, f.ui.root.file("before.vkr")));
  ASSERT_EQ(f.store().sampleCount.load(), 1500);
  const int32_t testTime = f.store().testTime;
  const std::string configuration = testing::readFile(f.ui.configPath());

  int32_t sounds = 0;
  f.frame().setStartSound([&sounds] { ++sounds; });
  {  // Perform
    ModalScript script;
    script.then(testing::performStep(0, 5)).answer(QMessageBox::Ok);
    f.frame().action(cmd::kPerform)->trigger();
    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.messages, std::vector<std::string>{"Error in communication"});
    EXPECT_FALSE(f.tests().testRunning());
    EXPECT_FALSE(f.tests().testTimer().isActive());
    EXPECT_NE(f.frame().shownBar(), cmd::kStopBar);
    EXPECT_EQ(sounds, 0);
  }
  {  // Check: the message, then the readout opens all the same and shows what the recording held
    ModalScript script;
    QString vertical;
    script.answer(QMessageBox::Ok).then([&](QWidget* w) {
      auto* dialog = qobject_cast<CCheckDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      QTest::qWait(250);
      vertical = testing::lineText(dialog, CCheckDlg::kVertical);
      press(dialog, kIdOk);
    });
    f.frame().action(cmd::kCheck)->trigger();
    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.messages, std::vector<std::string>{"Error in communication"});
    EXPECT_EQ(vertical, "   0.0");
  }
  {  // Power perform: Go
    ModalScript script;
    script.then([&](QWidget* w) {
      auto* dialog = qobject_cast<CWeightDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      {
        ModalScript inner;
        inner.answer(QMessageBox::Ok);
        press(dialog, CWeightDlg::kGo);
        EXPECT_EQ(inner.messages, std::vector<std::string>{"Error in communication"});
      }
      EXPECT_EQ(testing::lineText(dialog, CWeightDlg::kStatus), "Not done");
      EXPECT_TRUE(dialog->control(CWeightDlg::kGo)->isEnabled()) << "Go may be pressed again";
      EXPECT_FALSE(dialog->control(kIdOk)->isEnabled());
      press(dialog, kIdCancel);
    });
    f.frame().action(cmd::kPowerPerform)->trigger();
    EXPECT_TRUE(script.done());
  }
  {  // Calibration: each step's Go
    ModalScript script;
    script.then([&](QWidget* w) {
      auto* dialog = qobject_cast<CCalibDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      for (int32_t go : {CCalibDlg::kOffsetGo, CCalibDlg::kVerticalGo, CCalibDlg::kHorizontalGo}) {
        ModalScript inner;
        inner.answer(QMessageBox::Ok);
        press(dialog, go);
        EXPECT_EQ(inner.messages, std::vector<std::string>{"Error in communication"}) << go;
        EXPECT_TRUE(dialog->control(go)->isEnabled()) << go;
      }
      for (int32_t result : {CCalibDlg::kOffsetResult, CCalibDlg::kVerticalResult, CCalibDlg::kHorizontalResult})
        EXPECT_EQ(testing::lineText(dialog, result), "Not done") << result;
      EXPECT_FALSE(dialog->control(kIdOk)->isEnabled());
      press(dialog, kIdCancel);
    });
    f.frame().action(cmd::kCalibration)->trigger();
    EXPECT_TRUE(script.done());
  }
  // The recording loaded before is untouched, and the configuration was not written.
  EXPECT_EQ(f.store().sampleCount.load(), 1500);
  EXPECT_EQ(f.store().recordingAvailable.load(), 1);
  EXPECT_EQ(f.store().saved.load(), 1);
  EXPECT_EQ(f.store().testTime, testTime);
  EXPECT_EQ(f.store().repetitions.count.load(), 3);
  EXPECT_EQ(f.store().channels.vertical[1499], recording->channels.vertical[1499]);
  EXPECT_TRUE(f.enabled(cmd::kCurveGraph));
  EXPECT_EQ(testing::readFile(f.ui.configPath()), configuration);
}

TEST(PlateTests, UnpluggingDuringATestEndsItWithTheMessageAndKeepsTheSamples) {
  PlateFixture f;
  f.start("");
  EXPECT_EQ(f.frame().windowTitle(), "Kestrane - velkora (simulated plate)");
  SimulatedPlateMenu* plateMenu = f.frame().simulatedPlateMenu();
  ASSERT_NE(plateMenu, nullptr);
  EXPECT_TRUE(f.frame().menuBar()->actions().contains(plateMenu->menu()->menuAction()));
  f.perform(0, 10);
  ASSERT_TRUE(f.tests().testRunning());
  ASSERT_TRUE(waitUntil([&] { return f.store().sampleCount.load() > 300; }, 5000));
  EXPECT_TRUE(plateMenu->unplugAction()->isEnabled());
  EXPECT_FALSE(plateMenu->plugInAction()->isEnabled());
  ModalScript script;
  script.answer(QMessageBox::Ok);
  plateMenu->unplugAction()->trigger();
  ASSERT_TRUE(waitUntil([&] { return script.done(); }, 3000));
  EXPECT_EQ(script.messages, std::vector<std::string>{"Error in communication"});
  EXPECT_FALSE(f.tests().testRunning());
  EXPECT_FALSE(f.tests().plate().running());
  EXPECT_EQ(f.mode(), DisplayMode::Empty);
  EXPECT_EQ(f.frame().shownBar(), 0);
  EXPECT_EQ(f.store().recordingAvailable.load(), 1);
  const int32_t kept = f.store().sampleCount.load();
  EXPECT_GT(kept, 300);
  EXPECT_LT(kept, 10000);
  int32_t loaded = 0;  // the subject pushes at the start: the recorded samples carry forces
  for (int32_t i = 0; i < kept; ++i) loaded += f.store().channels.vertical[i] > 100 ? 1 : 0;
  EXPECT_GT(loaded, 100);
  EXPECT_FALSE(plateMenu->unplugAction()->isEnabled());
  EXPECT_TRUE(plateMenu->plugInAction()->isEnabled());

  // Plugged in again, the check readout reaches the plate and shows the standing subject.
  plateMenu->plugInAction()->trigger();
  ModalScript check;
  QString vertical;
  check.then([&](QWidget* w) {
    auto* dialog = qobject_cast<CCheckDlg*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(f.tests().plate().running());
    waitUntil([&] { return !testing::lineText(dialog, CCheckDlg::kVertical).isEmpty(); }, 2000);
    QTest::qWait(150);
    vertical = testing::lineText(dialog, CCheckDlg::kVertical);
    testing::saveGrab(*dialog, "check_dialog");
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  f.frame().action(cmd::kCheck)->trigger();
  EXPECT_TRUE(check.done());
  EXPECT_FALSE(f.tests().plate().running()) << "Escape stopped the link";
  // 75 kg standing on the plate, read with the plate's vertical coefficient.
  EXPECT_NEAR(vertical.toDouble(), 75.0 * f.ui.records.calibration.coefficientVertical, 1.0) << vertical.toStdString();
  EXPECT_EQ(vertical.size(), 6);
}

TEST(PlateTests, CalibrationOkWritesTheConfigurationAndCancelChangesNothing) {
  PlateFixture f;
  f.start(",fast");
  const CalibrationSet before = f.ui.records.calibration;
  auto runStep = [](CCalibDlg* dialog, int32_t go, int32_t result) {
    press(dialog, go);
    EXPECT_TRUE(waitUntil([&] { return testing::lineText(dialog, result) != "In progress"; }, 3000));
    EXPECT_EQ(testing::lineText(dialog, result), "Done") << go;
  };

  // Cancel after every step: nothing changes and nothing is written.
  std::filesystem::remove(f.ui.configPath());
  {
    ModalScript script;
    script.then([&](QWidget* w) {
      auto* dialog = qobject_cast<CCalibDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      type(dialog, CCalibDlg::kWeight, "20");
      runStep(dialog, CCalibDlg::kOffsetGo, CCalibDlg::kOffsetResult);
      runStep(dialog, CCalibDlg::kVerticalGo, CCalibDlg::kVerticalResult);
      runStep(dialog, CCalibDlg::kHorizontalGo, CCalibDlg::kHorizontalResult);
      EXPECT_TRUE(dialog->control(kIdOk)->isEnabled());
      press(dialog, kIdCancel);
    });
    f.frame().action(cmd::kCalibration)->trigger();
    ASSERT_TRUE(script.done());
  }
  EXPECT_EQ(std::memcmp(&f.ui.records.calibration, &before, sizeof before), 0);
  EXPECT_FALSE(std::filesystem::exists(f.ui.configPath()));

  // A weight out of range starts nothing; the steps done in this opening apply on OK.
  {
    ModalScript script;
    script.then([&](QWidget* w) {
      auto* dialog = qobject_cast<CCalibDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), "Calibration");
      EXPECT_EQ(testing::lineText(dialog, CCalibDlg::kWeight), "5");
      EXPECT_FALSE(dialog->control(kIdOk)->isEnabled());
      {
        ModalScript inner;
        inner.answer(QMessageBox::Ok);
        type(dialog, CCalibDlg::kWeight, "4");
        press(dialog, CCalibDlg::kVerticalGo);
        EXPECT_EQ(inner.messages, std::vector<std::string>{"Please enter an integer between 5 and 260."});
      }
      EXPECT_EQ(testing::lineText(dialog, CCalibDlg::kVerticalResult), "Not done");
      type(dialog, CCalibDlg::kWeight, "20");
      runStep(dialog, CCalibDlg::kOffsetGo, CCalibDlg::kOffsetResult);
      EXPECT_FALSE(dialog->control(CCalibDlg::kOffsetGo)->isEnabled());
      runStep(dialog, CCalibDlg::kVerticalGo, CCalibDlg::kVerticalResult);
      EXPECT_FALSE(dialog->control(CCalibDlg::kVerticalGo)->isEnabled());
      EXPECT_EQ(testing::lineText(dialog, CCalibDlg::kHorizontalResult), "Not done");
      testing::saveGrab(*dialog, "calibration_dialog");
      press(dialog, kIdOk);
    });
    f.frame().action(cmd::kCalibration)->trigger();
    ASSERT_TRUE(script.done());
  }
  const CalibrationSet& now = f.ui.records.calibration;
  // The unloaded simulated plate reads about 148 and 2048 counts; 20 kg weigh 196.2 counts at 1 N each.
  EXPECT_NEAR(now.offsetVertical, 148.0f, 1.0f);
  EXPECT_NEAR(now.offsetHorizontal, 2048.0f, 1.0f);
  EXPECT_NEAR(now.coefficientVertical, 1.0f, 0.02f);
  EXPECT_EQ(now.coefficientHorizontal, before.coefficientHorizontal) << "its step did not run";
  ASSERT_TRUE(std::filesystem::exists(f.ui.configPath()));
  EXPECT_EQ(testing::readFile(f.ui.configPath()), encodeConfiguration(f.ui.records.app, now, f.ui.records.graph));
}

}  // namespace
}  // namespace velkora
