// Tests with the plate in the desktop program, end to end on the simulated plate: force tests in
// time and repetition mode, a power test through the Power dialog, STOP, a plate that is absent or
// unplugged during a test, and the calibration that writes the configuration.

#include <gtest/gtest.h>

#include <QMenuBar>
#include <QRegularExpression>
#include <QTest>
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
    plateMenu->subjectAction()->trigger();
    ASSERT_TRUE(script.done());
  }
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

TEST(PlateTests, StopKeepsTheSamplesAndTheSavedFlagSoTheQuestionComesOnlyWhenItWasDue) {
  struct Case {
    bool unsavedBefore;
    bool escape;  // STOP by the Escape key instead of the button
  };
  for (const Case c : {Case{false, false}, Case{true, true}}) {
    PlateFixture f;
    f.start("");  // real time, so the test is still running when STOP comes
    if (c.unsavedBefore) f.store().saved = 0;
    {
      ModalScript script;
      if (c.unsavedBefore) script.answer(QMessageBox::No);
      script.then(testing::performStep(0, 10));
      f.frame().action(cmd::kPerform)->trigger();
      EXPECT_TRUE(script.done());
      EXPECT_EQ(script.messages,
                c.unsavedBefore ? std::vector<std::string>{"Data not saved. Save?"} : std::vector<std::string>{});
    }
    ASSERT_TRUE(f.tests().testRunning());
    ASSERT_TRUE(waitUntil([&] { return f.store().sampleCount.load() > 300; }, 5000));
    if (c.escape) {
      f.frame().activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&f.frame()));
      QTest::keyClick(&f.frame(), Qt::Key_Escape);
    } else {
      ASSERT_EQ(f.frame().shownBar(), cmd::kStopBar);
      f.frame().dialogBar()->button(cmd::kStop)->click();
    }
    EXPECT_FALSE(f.tests().testRunning()) << c.escape;
    EXPECT_FALSE(f.tests().testTimer().isActive());
    EXPECT_FALSE(f.tests().plate().running());
    EXPECT_EQ(f.mode(), DisplayMode::Empty);
    EXPECT_EQ(f.frame().shownBar(), 0);
    EXPECT_EQ(f.store().recordingAvailable.load(), 1);
    EXPECT_EQ(f.store().saved.load(), c.unsavedBefore ? 0 : 1);
    const int32_t kept = f.store().sampleCount.load();
    EXPECT_GT(kept, 300);
    EXPECT_LT(kept, 10000);
    EXPECT_TRUE(f.enabled(cmd::kCurveGraph));
    f.frame().action(cmd::kCurveGraph)->trigger();
    EXPECT_EQ(f.view().state().sampleWindowEnd, kept) << "the graph shows what was recorded";

    // The next test asks only when the question was due before STOP.
    ModalScript script;
    if (c.unsavedBefore) script.answer(QMessageBox::No);
    script.then([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    f.frame().action(cmd::kPerform)->trigger();
    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.messages,
              c.unsavedBefore ? std::vector<std::string>{"Data not saved. Save?"} : std::vector<std::string>{});
    EXPECT_EQ(f.store().sampleCount.load(), kept);
  }
}

TEST(PlateTests, ClosingTheWindowDuringATestStopsItBeforeAnythingIsAskedOrSaved) {
  for (const bool unsaved : {false, true}) {
    PlateFixture f;
    f.start("");
    f.perform(0, 10);
    ASSERT_TRUE(waitUntil([&] { return f.store().sampleCount.load() > 200; }, 5000));
    if (unsaved) f.store().saved = 0;
    ModalScript script;
    bool stoppedWhenAsked = false;
    if (unsaved) {
      script.then([&](QWidget* w) {
        stoppedWhenAsked = !f.tests().testRunning() && !f.tests().plate().running();
        static_cast<QMessageBox*>(w)->button(QMessageBox::Cancel)->click();
      });
    }
    f.frame().close();
    EXPECT_TRUE(script.done()) << unsaved;
    EXPECT_FALSE(f.tests().testRunning()) << unsaved;
    EXPECT_FALSE(f.tests().plate().running()) << unsaved;
    EXPECT_EQ(f.store().recordingAvailable.load(), 1) << unsaved;
    if (unsaved) {
      EXPECT_TRUE(stoppedWhenAsked);
      EXPECT_TRUE(f.frame().isVisible()) << "Cancel keeps the window";
    } else {
      EXPECT_FALSE(f.frame().isVisible());
    }
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
