#pragma once
// What runs on the program's plate in the window: Perform, Power perform, Check, Calibration, STOP,
// and the running test's 100 ms timer. It asks for the test's parameters with the dialogs and acts
// through the program's use cases; a running test announces itself with signals (started, ticked
// with its new samples, ended with the reason), which the view and the main frame listen to.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "app/program_plate.h"
#include "model/shared_records.h"

class QWidget;

namespace velkora {

class ExerciseController final : public QObject {
  Q_OBJECT

 public:
  // The dialogs open over `dialogParent`, whose child the controller becomes.
  ExerciseController(SharedRecords records, std::unique_ptr<ProgramPlate> plate, QWidget& dialogParent);
  ~ExerciseController() override;

  ProgramPlate& programPlate() { return *plate_; }
  PlateSystem& plate() { return plate_->system(); }
  const ExerciseSession& session() const { return plate_->exercise(); }
  bool testRunning() const { return session().running(); }
  // The running test's timer; every timeout is one tick().
  QTimer& testTimer() { return timer_; }

  // Perform (force test) and Power perform: the unsaved-data question, the parameters, the start.
  void perform();
  void powerPerform();
  void check();
  // The Calibration dialog; its OK applies the steps and saves the configuration.
  void calibration();
  // STOP: ends the running test and keeps what was recorded.
  void stop();
  // One tick of the running test: publish, announce, and end the test when it is over.
  void tick();

 signals:
  // A test is about to ask for its parameters: the window offers to save an unsaved recording now.
  void startRequested();
  // The test runs: `seconds` is the recording's length in time (and power) mode, the repetition
  // target in repetition mode.
  void started(velkora::TestKind kind, int32_t seconds, bool countsRepetitions);
  // What the tick published and what is to be drawn of it.
  void ticked(const velkora::TestTick& tick);
  // The test ended, with its recording available (and analysed, for a jump).
  void ended(velkora::TestEnd end, bool countedRepetitions);

 private:
  void announceStart(TestKind kind, int32_t seconds);
  void end(TestEnd how);

  SharedRecords records_;
  QWidget& dialogParent_;
  std::unique_ptr<ProgramPlate> plate_;
  QTimer timer_;
};

}  // namespace velkora
