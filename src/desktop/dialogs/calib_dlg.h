#pragma once
// The Calibration dialog: the offset step with the plate unloaded, then a weight step for each
// channel with a known mass. Results wait until OK, which applies the steps completed in this
// opening and saves the configuration.

#include <QTimer>

#include "app/program_plate.h"
#include "desktop/dialogs/control_dialog.h"

class QLineEdit;

namespace velkora {

class CCalibDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kOffsetGo = 1050;
  static constexpr int32_t kVerticalGo = 1051;
  static constexpr int32_t kHorizontalGo = 1052;
  static constexpr int32_t kOffsetResult = 1003;
  static constexpr int32_t kVerticalResult = 1004;
  static constexpr int32_t kHorizontalResult = 1005;
  static constexpr int32_t kWeight = 1002;
  static constexpr int32_t kProgress = 1063;

  explicit CCalibDlg(ProgramPlate& plate, QWidget* parent = nullptr);

  // Go of one step: the weight steps check the weight field first.
  void go(CalibrationStep step);

 public slots:
  void done(int result) override;

 protected:
  bool exchange() override;

 private:
  bool readWeight(int32_t& kg);
  void onTick();
  void showState();

  ProgramPlate& plate_;
  CalibrationProcedure& procedure_;
  QTimer timer_;
};

}  // namespace velkora
