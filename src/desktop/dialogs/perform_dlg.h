#pragma once
// The force test's parameters: time or repetition mode, the value (seconds or repetitions) and the
// start force. The value's range follows the chosen mode, and its unit text says which it is.

#include "desktop/dialogs/control_dialog.h"
#include "model/settings.h"

class QButtonGroup;
class QLabel;
class QLineEdit;

namespace velkora {

class PerformDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kTime = 1037;
  static constexpr int32_t kRepetitions = 1027;
  static constexpr int32_t kValue = 1038;
  static constexpr int32_t kStartForce = 1039;
  static constexpr int32_t kUnit = 1040;

  PerformDlg(AppSettings& app, QWidget* parent = nullptr);

 protected:
  bool exchange() override;

 private:
  // Reads and checks every field into the dialog's values; the first failure shows its prompt.
  bool readFields();
  // Writes the dialog's values into the fields and the unit text for the mode.
  void showFields();
  void modeClicked();

  AppSettings& app_;
  QButtonGroup* mode_;
  int32_t forceTestMode_;
  int32_t forceTestValue_;
  int32_t startForce_;
};

}  // namespace velkora
