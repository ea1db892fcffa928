// The pictures of the user guide (docs/images/window-*.png, dialog-*.png), taken from the program
// itself on the simulated plate. Disabled in normal runs; scripts/make-docs-images.sh runs it with
// VELKORA_DOC_IMAGES set to the folder the pictures go to.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <filesystem>

#include "desktop/dialogs/library_dlg.h"
#include "desktop/library/desktop_library.h"
#include "desktop/library/library_window.h"
#include "desktop/library/trend_panel.h"
#include "desktop/library/window_library.h"
#include "desktop/plate_fixture.h"
#include "storage/configuration_file.h"
#include "support/measurement_files.h"

namespace velkora::testing {
namespace {

QString imageFolder() { return QString::fromLocal8Bit(qgetenv("VELKORA_DOC_IMAGES")); }

void savePicture(QWidget& widget, const char* name) {
  QApplication::processEvents();
  const QString path = imageFolder() + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
  EXPECT_TRUE(widget.grab().save(path)) << path.toStdString();
}

// A plate calibrated close to 1 N per count, as the simulated plate is, so the figures read true
// and start-up shows no calibration warning.
void startCalibrated(PlateFixture& f, const std::string& scenario) {
  CalibrationSet plate;
  plate.coefficientVertical = 1.0001f;
  plate.coefficientHorizontal = 1.0001f;
  saveConfiguration(f.ui.configPath(), AppSettings{}, plate, GraphSettings{});
  f.ui.startAsIs(simulated(scenario));
  f.ui.records.subject.name = "Ann Lee";
  f.frame().resize(1000, 700);
  f.frame().show();
}

TEST(DocumentationImages, DISABLED_WindowAndDialogs) {
  if (imageFolder().isEmpty()) GTEST_SKIP() << "VELKORA_DOC_IMAGES names the folder for the pictures";

  {  // A power test through the Power dialog, its curve graph and its reports.
    PlateFixture f;
    startCalibrated(f, ",fast");
    ModalScript script;
    script.then([](QWidget* w) {
      auto* dialog = qobject_cast<CWeightDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      type(dialog, CWeightDlg::kTime, "4");
      press(dialog, CWeightDlg::kGo);
      ASSERT_TRUE(waitUntil([&] { return dialog->control(kIdOk)->isEnabled(); }, 10000));
      savePicture(*dialog, "dialog-power");
      press(dialog, kIdOk);
    });
    f.frame().action(cmd::kPowerPerform)->trigger();
    ASSERT_TRUE(f.waitForEnd(20000));
    ASSERT_EQ(f.mode(), DisplayMode::CurveGraph);
    savePicture(f.frame(), "window-curve-graph");
    f.frame().sendCommand(cmd::kDigitalReport);
    savePicture(f.frame(), "window-digital-report");
    f.frame().sendCommand(cmd::kHeightReport);
    savePicture(f.frame(), "window-height-report");
    f.frame().sendCommand(cmd::kMetricsReport);
    savePicture(f.frame(), "window-metrics-report");
  }
  {  // The library window over a data folder of three subjects: the tests, the trend, a comparison.
    UiFixture ui;
    std::filesystem::create_directories(ui.dataFolder());
    const int32_t day = 86400;
    for (int k = 0; k < 6; ++k) {
      GeneratedTest jump;
      jump.name = "Katarina Horvat";
      jump.testTime = 1714550400 + k * 9 * day;
      jump.flight = 400 + 20 * k - (k == 4 ? 50 : 0);
      jump.mass = 62.0;
      ASSERT_TRUE(writeGeneratedTest(ui.dataFolder() + "/katarina" + std::to_string(k) + ".tsr", jump));
    }
    for (int k = 0; k < 3; ++k) {
      GeneratedTest push;
      push.name = k == 0 ? "Jonas Berg" : "Katarina Horvat";
      push.kind = TestKind::Force;
      push.mass = 80.0 + 10 * k;
      push.testTime = 1714550400 + (3 + 10 * k) * day;
      ASSERT_TRUE(writeGeneratedTest(ui.dataFolder() + "/push" + std::to_string(k) + ".vkr", push));
    }
    GeneratedTest other;
    other.name = "Lena Costa";
    other.flight = 480;
    other.testTime = 1714550400 + 20 * day;
    ASSERT_TRUE(writeGeneratedTest(ui.dataFolder() + "/lena.tsr", other));
    ui.start();
    DesktopLibrary& library = *ui.app->library();
    ASSERT_TRUE(waitUntil([&] { return !library.session().scanning(); }, 20000));
    QApplication::processEvents();
    ui.app->mainFrame()->sendCommand(cmd::kLibrary);
    LibraryWindow& window = *library.window();
    window.resize(1200, 620);
    window.chooseSubject(1);
    savePicture(window, "window-library");
    window.pages()->setCurrentWidget(&window.trend());
    savePicture(window, "window-library-trend");
    window.pages()->setCurrentIndex(0);
    window.testList()->selectRow(1);
    window.compareSelected();
    window.chooseSubject(2);
    window.testList()->selectRow(0);
    window.compareSelected();
    savePicture(window, "window-library-compare");
  }
  {  // Setup -> Library...: a server outside the lab that cannot be reached, as Test connection says it.
    UiFixture ui;
    ui.start();
    ModalScript script;
    script.then([](QWidget* w) {
      auto* dialog = qobject_cast<CLibraryDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      dialog->control<QLineEdit>(CLibraryDlg::kFilePath)
          ->setText(QStringLiteral("/home/coach/Documents/Velkora/library.sqlite"));
      dialog->control<QRadioButton>(CLibraryDlg::kServerChoice)->setChecked(true);
      dialog->control<QLineEdit>(CLibraryDlg::kServerAddress)
          ->setText(QStringLiteral("postgresql://coach_home@lab.example.invalid/velkora?sslmode=verify-full"));
      dialog->testConnection();
      ASSERT_TRUE(waitUntil([&] { return !dialog->testing(); }, 30000));
      savePicture(*dialog, "dialog-library");
      dialog->reject();
    });
    ui.app->mainFrame()->sendCommand(cmd::kLibrarySetup);
  }
  {  // A force test of five repetitions and its bar graph; the Perform dialog on the way.
    PlateFixture f;
    startCalibrated(f, ",fast");
    ASSERT_TRUE(f.tests().plate().simulation()->setSubject({.pushCount = 5}));
    ModalScript script;
    script.then([](QWidget* w) {
      auto* dialog = qobject_cast<PerformDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      press(dialog, PerformDlg::kRepetitions);
      type(dialog, PerformDlg::kValue, "5");
      savePicture(*dialog, "dialog-perform");
      press(dialog, kIdOk);
    });
    f.frame().action(cmd::kPerform)->trigger();
    ASSERT_TRUE(f.waitForEnd(20000));
    ASSERT_EQ(f.mode(), DisplayMode::BarGraph);
    f.frame().sendCommand(cmd::kNextRepetition);
    savePicture(f.frame(), "window-bar-graph");
  }
  {  // A force test in time mode while it runs, on the plate's real clock.
    PlateFixture f;
    startCalibrated(f, "");
    f.perform(0, 6);
    ASSERT_TRUE(f.tests().testRunning());
    waitUntil([] { return false; }, 3500);
    savePicture(f.frame(), "window-live-test");
    f.frame().sendCommand(cmd::kStop);
    ASSERT_TRUE(f.waitForEnd());
  }
  {  // The calibration dialog after its three steps.
    PlateFixture f;
    startCalibrated(f, ",fast");
    ModalScript script;
    script.then([](QWidget* w) {
      auto* dialog = qobject_cast<CCalibDlg*>(w);
      ASSERT_NE(dialog, nullptr);
      type(dialog, CCalibDlg::kWeight, "20");
      const std::pair<int32_t, int32_t> steps[] = {{CCalibDlg::kOffsetGo, CCalibDlg::kOffsetResult},
                                                   {CCalibDlg::kVerticalGo, CCalibDlg::kVerticalResult},
                                                   {CCalibDlg::kHorizontalGo, CCalibDlg::kHorizontalResult}};
      for (const auto& step : steps) {
        const int32_t result = step.second;
        press(dialog, step.first);
        ASSERT_TRUE(waitUntil([&] { return lineText(dialog, result) == "Done"; }, 10000));
      }
      savePicture(*dialog, "dialog-calibration");
      dialog->reject();
    });
    f.frame().action(cmd::kCalibration)->trigger();
    EXPECT_TRUE(script.done());
  }
}

}  // namespace
}  // namespace velkora::testing
