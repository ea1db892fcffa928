#include "desktop/test_controller.h"

#include "app/command_ids.h"
#include "app/messages.h"
#include "app/program_state.h"
#include "desktop/dialogs/calib_dlg.h"
#include "desktop/dialogs/check_dlg.h"
#include "desktop/dialogs/perform_dlg.h"
#include "desktop/dialogs/weight_dlg.h"
#include "desktop/force_list.h"
#include "desktop/main_frame.h"
#include "desktop/message_box.h"
#include "desktop/velkora_view.h"
#include "storage/configuration_file.h"

namespace velkora {

PlateRecordings PlateRecordings::program() {
  return {program::checkRecording, program::weightRecording, program::calibrationRecording};
}

TestController::TestController(SharedRecords records, PlateRecordings recordings, std::unique_ptr<PlateSystem> plate,
                               CMainFrame& frame)
    : QObject(&frame),
      records_(records),
      frame_(frame),
      plate_(std::move(plate)),
      session_(*plate_, records.store, records.calibration),
      checkReadout_(*plate_, recordings.check, records.calibration),
      weighing_(*plate_, recordings.weight, records.calibration),
      calibration_(*plate_, recordings.calibration, records.calibration) {
  timer_.setInterval(static_cast<int>(kTestTickInterval.count()));
  // The timer only posts the tick's command; the work runs when the command is dispatched.
  connect(&timer_, &QTimer::timeout, this, [this] {
    const int32_t command = tickCommand_;
    QMetaObject::invokeMethod(
        this, [this, command] { frame_.sendCommand(command); }, Qt::QueuedConnection);
  });
  routeCommands();
}

TestController::~TestController() { timer_.stop(); }

CVelkoraView& TestController::view() const { return *frame_.view(); }

void TestController::routeCommands() {
  frame_.route(cmd::kPerform, [this] { perform(); });
  frame_.route(cmd::kPowerPerform, [this] { powerPerform(); });
  frame_.route(cmd::kCheck, [this] { check(); });
  frame_.route(cmd::kCalibration, [this] { calibration(); });
  frame_.route(
      cmd::kStop, [this] { stop(); }, [this] { return testRunning(); });
  frame_.route(cmd::kLiveCurveTick, [this] { tick(); });
  frame_.route(cmd::kLiveRepetitionTick, [this] { tick(); });
  frame_.setTestRunning([this] { return testRunning(); });
}

void TestController::clearTestArea() {
  frame_.hideBar();
  CforceList* list = view().reportList();
  list->clearReport();
  list->setGeometry(0, 0, 0, 0);
  list->hide();
}

void TestController::startTimer(int32_t tickCommand) {
  tickCommand_ = tickCommand;
  timer_.start();
}

void TestController::perform() {
  if (testRunning()) return;
  frame_.askToSaveUnsaved();
  // A link still running from before ends here.
  plate_->stop();
  PerformDlg dialog(records_.app, &frame_);
  if (dialog.exec() != QDialog::Accepted) return;
  clearTestArea();
  ViewState& s = view().state();
  s.y1Shown = static_cast<int32_t>(ForceChannel::Vertical);
  s.y2Shown = static_cast<int32_t>(ForceChannel::Horizontal);
  if (session_.startForceTest(records_.app) != StartResult::Started) {
    showMessageBox(&frame_, msg::kErrorInCommunication);
    return;
  }
  const int32_t value = records_.app.forceTestValue;
  startTimer(session_.countsRepetitions() ? cmd::kLiveRepetitionTick : cmd::kLiveCurveTick);
  s.liveBarsDrawn = 0;
  s.sampleWindowStart = 0;
  s.sampleWindowEnd = value * 1000;
  frame_.showStopBar();
  records_.paths.currentFilePath.clear();
  s.displayMode = DisplayMode::ForceTestLive;
  s.cursorLeft = 0;
  frame_.playStartSound();
  s.cursorRight = value;
  view().invalidate(Repaint::Whole);
}

void TestController::powerPerform() {
  if (testRunning()) return;
  frame_.askToSaveUnsaved();
  float bodyWeight = 0.0f;
  {
    CWeightDlg dialog(weighing_, records_.app, &frame_);
    if (dialog.exec() != QDialog::Accepted) return;
    bodyWeight = dialog.bodyWeight();
  }
  clearTestArea();
  ViewState& s = view().state();
  s.y1Shown = static_cast<int32_t>(ForceChannel::Vertical);
  s.y2Shown = static_cast<int32_t>(ForceChannel::Horizontal);
  if (session_.startPowerTest(records_.app, bodyWeight) != StartResult::Started) {
    showMessageBox(&frame_, msg::kErrorInCommunication);
    return;
  }
  startTimer(cmd::kLiveCurveTick);
  s.liveBarsDrawn = 0;
  s.sampleWindowStart = 0;
  s.sampleWindowEnd = records_.app.powerTestTime * 1000;
  frame_.showStopBar();
  records_.paths.currentFilePath.clear();
  s.displayMode = DisplayMode::PowerTestLive;
  s.y1Shown = static_cast<int32_t>(ForceChannel::Vertical);
  s.y2Shown = static_cast<int32_t>(ForceChannel::Vertical);
  view().invalidate(Repaint::Whole);
}

void TestController::check() {
  if (testRunning()) return;
  CCheckDlg dialog(checkReadout_, records_.app, &frame_);
  dialog.exec();
}

void TestController::calibration() {
  if (testRunning()) return;
  CCalibDlg dialog(calibration_, records_.app, &frame_);
  if (dialog.exec() != QDialog::Accepted) return;
  // A configuration that cannot be written is not reported.
  saveConfiguration(records_.paths.configPath, records_.app, records_.calibration, records_.graph);
}

void TestController::stop() {
  if (!testRunning()) return;
  timer_.stop();
  showEnd(session_.stop());
}

void TestController::tick() {
  if (!testRunning()) return;
  const TestTick t = session_.tick();
  // The new samples or bars first, then the end of the test.
  view().drawLiveTick(t);
  if (t.end == TestEnd::None) return;
  timer_.stop();
  showEnd(t.end);
  if (t.end == TestEnd::PlateLost) showMessageBox(&frame_, msg::kErrorInCommunication);
}

void TestController::showEnd(TestEnd end) {
  if (end == TestEnd::Finished) {
    // A recording that reached its limit shows its graph, also when STOP came just after.
    if (session_.countsRepetitions())
      view().enterBarGraph();
    else
      view().enterCurveGraph();
    return;
  }
  view().state().displayMode = DisplayMode::Empty;
  frame_.hideBar();
  view().invalidate(Repaint::Whole);
}

}  // namespace velkora
