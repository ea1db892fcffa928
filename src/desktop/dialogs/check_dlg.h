#pragma once
// The check readout: the force on the plate now, vertical and horizontal, in kiloponds, ten times a
// second. The dialog opens even when the plate cannot be reached; closing it stops the link.

#include <QTimer>

#include "app/program_plate.h"
#include "desktop/dialogs/control_dialog.h"

namespace velkora {

class CCheckDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kVertical = 1041;
  static constexpr int32_t kHorizontal = 1042;

  // Starts the link at once; a link that cannot start is reported before the dialog shows.
  explicit CCheckDlg(ProgramPlate& plate, QWidget* parent = nullptr);

 public slots:
  void done(int result) override;

 private:
  void onTick();

  CheckReadout& readout_;
  QTimer timer_;
};

}  // namespace velkora
