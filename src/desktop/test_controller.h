#pragma once
// The program's plate and what runs on it: the one PlateSystem, the test session with its 100 ms
// timer, the check readout, the weighing and the calibration. It handles Perform, Power perform,
// Check, Calibration, STOP and the live ticks for the main frame, and draws each tick on the view.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "acquisition/calibration_procedure.h"
#include "acquisition/check_readout.h"
#include "acquisition/plate_system.h"
#include "acquisition/test_session.h"
#include "acquisition/weighing_session.h"
#include "desktop/shared_records.h"

namespace velkora {

class CMainFrame;
class CVelkoraView;

// The recordings of the dialogs that use the plate; weight and calibration have their own samples.
struct PlateRecordings {
  Recording& check;
  Recording& weight;
  Recording& calibration;

  // The program's one instance of each.
  static PlateRecordings program();
};

class TestController final : public QObject {
  Q_OBJECT

 public:
  // Routes its commands through `frame`, whose child it becomes.
  TestController(SharedRecords records, PlateRecordings recordings, std::unique_ptr<PlateSystem> plate,
                 CMainFrame& frame);
  ~TestController() override;

  PlateSystem& plate() { return *plate_; }
  const TestSession& session() const { return session_; }
  bool testRunning() const { return session_.running(); }
  // The running test's timer; it posts the live tick command every 100 ms.
  const QTimer& testTimer() const { return timer_; }

  // Perform (force test) and Power perform: the unsaved-data question, the parameters, the start.
  void perform();
  void powerPerform();
  void check();
  // Runs the Calibration dialog and saves the configuration after OK.
  void calibration();
  // STOP: ends the running test and keeps what was recorded.
  void stop();
  // The work of a posted live tick: publish, draw, and end the test when it is over.
  void tick();

 private:
  CVelkoraView& view() const;
  void routeCommands();
  // Before a start: no dialog bar, an empty report list of no size.
  void clearTestArea();
  void startTimer(int32_t tickCommand);
  // A test ended: the graph of a finished test, or the empty view of a stopped or lost one.
  void showEnd(TestEnd end);

  SharedRecords records_;
  CMainFrame& frame_;
  std::unique_ptr<PlateSystem> plate_;
  TestSession session_;
  CheckReadout checkReadout_;
  WeighingSession weighing_;
  CalibrationProcedure calibration_;
  QTimer timer_;
  int32_t tickCommand_ = 0;
};

}  // namespace velkora
