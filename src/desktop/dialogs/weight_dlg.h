#pragma once
// The Power dialog, the first step of a power test: the recording time and the body weight, measured
// from the subject standing still. OK is offered once a body weight has been measured in this opening.

#include <QTimer>

#include "app/program_plate.h"
#include "desktop/dialogs/control_dialog.h"
#include "model/settings.h"

class QLineEdit;

namespace velkora {

class CWeightDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kTime = 1002;
  static constexpr int32_t kStatus = 1003;
  static constexpr int32_t kGo = 1048;
  static constexpr int32_t kProgress = 1063;
  static constexpr int32_t kInstruction = 32800;
  static constexpr int32_t kBodyWeight = 1064;  // "Body weight: 75.3 kg" under the status once Done

  CWeightDlg(ProgramPlate& plate, AppSettings& app, QWidget* parent = nullptr);

  // Go: checks the time, then starts the measurement; a plate that cannot be reached is reported.
  void go();
  // The measured body weight (kg) once the dialog ended with OK.
  float bodyWeight() const { return weighing_.bodyWeight(); }

 public slots:
  // Every way out stops the timer and the link.
  void done(int result) override;

 protected:
  bool exchange() override;

 private:
  bool readTime(int32_t& seconds);
  void onTick();
  void showState();

  ProgramPlate& plate_;
  WeighingSession& weighing_;
  AppSettings& app_;
  QTimer timer_;
};

}  // namespace velkora
