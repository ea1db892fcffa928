#pragma once
// The desktop program on the simulated plate, with helpers that fill and answer the dialogs of the
// tests as an operator would.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <string>

#include "acquisition/simulation_option.h"
#include "desktop/dialog_bar.h"
#include "desktop/dialogs/calib_dlg.h"
#include "desktop/dialogs/perform_dlg.h"
#include "desktop/dialogs/weight_dlg.h"
#include "desktop/exercise_controller.h"
#include "desktop/main_frame.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"

namespace velkora::testing {

inline StartOptions simulated(const std::string& scenario, const std::string& file = std::string()) {
  StartOptions options;
  std::string error;
  const std::string arg = scenario.empty() ? std::string("--simulate") : "--simulate=" + scenario;
  EXPECT_TRUE(takeSimulationOption(arg, options.simulation, error) && error.empty()) << error;
  options.file = file;
  return options;
}

inline QString lineText(ControlDialog* dialog, int32_t id) { return dialog->control<QLineEdit>(id)->text(); }
inline void type(ControlDialog* dialog, int32_t id, const QString& text) {
  dialog->control<QLineEdit>(id)->setText(text);
}
inline void press(ControlDialog* dialog, int32_t id) { dialog->control<QAbstractButton>(id)->click(); }

// A step that fills PerformDlg (time or repetition mode, value, start force) and presses OK.
inline ModalScript::Step performStep(int32_t mode, int32_t value, int32_t startForce = 20) {
  return [=](QWidget* w) {
    auto* dialog = qobject_cast<PerformDlg*>(w);
    ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
    type(dialog, PerformDlg::kValue, QString::number(value));
    type(dialog, PerformDlg::kStartForce, QString::number(startForce));
    press(dialog, mode == 1 ? PerformDlg::kRepetitions : PerformDlg::kTime);
    press(dialog, kIdOk);
  };
}

class PlateFixture {
 public:
  CVelkoraApp& start(const std::string& scenario, const std::string& file = std::string()) {
    return ui.start(simulated(scenario, file));
  }
  CMainFrame& frame() { return *ui.app->mainFrame(); }
  CVelkoraView& view() { return *frame().view(); }
  ExerciseController& tests() { return *ui.app->tests(); }
  MeasurementStore& store() { return *ui.records.store; }
  DisplayMode mode() { return view().state().displayMode; }

  // Runs Perform with the dialog filled in; the test has started (or failed) when this returns.
  void perform(int32_t mode, int32_t value, int32_t startForce = 20) {
    ModalScript script;
    script.then(performStep(mode, value, startForce));
    frame().action(cmd::kPerform)->trigger();
    EXPECT_TRUE(script.done());
  }
  // Waits for the running test to end.
  bool waitForEnd(int milliseconds = 10000) {
    return waitUntil([this] { return !tests().testRunning(); }, milliseconds);
  }
  bool enabled(int32_t command) { return frame().action(command)->isEnabled(); }

  UiFixture ui;
};

}  // namespace velkora::testing
