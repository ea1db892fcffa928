#pragma once
// The Y-axes dialog: minimum, maximum and step of the axis of every curve parameter.

#include <array>

#include "desktop/dialogs/control_dialog.h"
#include "model/settings.h"

class QLineEdit;

namespace velkora {

class CYaxesDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kRows = 6;
  // MIN, MAX and STEP edits of each parameter's row.
  static constexpr std::array<std::array<int32_t, 3>, kRows> kEdits = {{{1002, 1003, 1004},
                                                                        {1017, 1018, 1019},
                                                                        {1020, 1021, 1022},
                                                                        {1023, 1024, 1025},
                                                                        {1026, 1027, 1028},
                                                                        {1029, 1030, 1031}}};

  CYaxesDlg(GraphSettings& graph, QWidget* parent = nullptr);

 protected:
  bool exchange() override;

 private:
  QLineEdit* edit(int32_t row, int32_t column) const;

  GraphSettings& graph_;
};

}  // namespace velkora
