#include "desktop/exercise_controller.h"

#include <QWidget>

#include "app/exercise_use_cases.h"
#include "desktop/dialogs/calib_dlg.h"
#include "desktop/dialogs/check_dlg.h"
#include "desktop/dialogs/perform_dlg.h"
#include "desktop/dialogs/weight_dlg.h"
#include "desktop/message_box.h"
#include "model/messages.h"

namespace velkora {

ExerciseController::ExerciseController(SharedRecords records, std::unique_ptr<ProgramPlate> plate,
                                       QWidget& dialogParent)
    : QObject(&dialogParent), records_(records), dialogParent_(dialogParent), plate_(std::move(plate)) {
  timer_.setInterval(static_cast<int>(kTestTickInterval.count()));
  connect(&timer_, &QTimer::timeout, this, &ExerciseController::tick);
}

ExerciseController::~ExerciseController() { timer_.stop(); }

void ExerciseController::perform() {
  if (testRunning()) return;
  emit startRequested();
  // A link still running from before ends here.
  plate().stop();
  PerformDlg dialog(records_.app, &dialogParent_);
  if (dialog.exec() != QDialog::Accepted) return;
  if (startForceTest(*plate_, records_.app) != StartResult::Started) {
    showMessageBox(&dialogParent_, msg::kErrorInCommunication);
    return;
  }
  announceStart(TestKind::Force, records_.app.forceTestValue);
}

void ExerciseController::powerPerform() {
  if (testRunning()) return;
  emit startRequested();
  float bodyWeight = 0.0f;
  {
    CWeightDlg dialog(*plate_, records_.app, &dialogParent_);
    if (dialog.exec() != QDialog::Accepted) return;
    bodyWeight = dialog.bodyWeight();
  }
  if (startPowerTest(*plate_, records_.app, bodyWeight) != StartResult::Started) {
    showMessageBox(&dialogParent_, msg::kErrorInCommunication);
    return;
  }
  announceStart(TestKind::Power, records_.app.powerTestTime);
}

void ExerciseController::announceStart(TestKind kind, int32_t seconds) {
  timer_.start();
  emit started(kind, seconds, session().countsRepetitions());
}

void ExerciseController::check() {
  if (testRunning()) return;
  CCheckDlg dialog(*plate_, &dialogParent_);
  dialog.exec();
}

void ExerciseController::calibration() {
  if (testRunning()) return;
  CCalibDlg dialog(*plate_, &dialogParent_);
  dialog.exec();
}

void ExerciseController::stop() {
  if (!testRunning()) return;
  end(finishTest(*plate_));
}

void ExerciseController::tick() {
  if (!testRunning()) return;
  const TestTick t = tickTest(*plate_);
  // The new samples or bars first, then the end of the test.
  emit ticked(t);
  if (t.end != TestEnd::None) end(t.end);
}

void ExerciseController::end(TestEnd how) {
  timer_.stop();
  emit ended(how, session().countsRepetitions());
}

}  // namespace velkora
