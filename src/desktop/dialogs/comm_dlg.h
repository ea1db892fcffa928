#pragma once
// The Setup dialog: the serial port, COM1 to COM5.

#include "desktop/dialogs/control_dialog.h"
#include "model/settings.h"

class QButtonGroup;

namespace velkora {

class CCommDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kFirstPort = 1020;  // COM1; COM5 is 1024
  static constexpr int32_t kPorts = 5;

  CCommDlg(AppSettings& app, QWidget* parent = nullptr);

 protected:
  bool exchange() override;

 private:
  AppSettings& app_;
  QButtonGroup* ports_;
};

}  // namespace velkora
