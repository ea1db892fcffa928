#pragma once
// The About box: the program's name, version and picture.

#include "desktop/dialogs/control_dialog.h"

namespace velkora {

class CAboutDlg final : public ControlDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace velkora
