#pragma once
// The Subject dialog: name, sex, age, weight, height and three comments of the person tested.

#include "desktop/dialogs/control_dialog.h"
#include "model/subject_info.h"

class QButtonGroup;
class QLineEdit;
class QRadioButton;

namespace velkora {

class CSubjectDlg final : public ControlDialog {
  Q_OBJECT

 public:
  static constexpr int32_t kName = 1002;
  static constexpr int32_t kAge = 1003;
  static constexpr int32_t kWeight = 1004;
  static constexpr int32_t kHeight = 1005;
  static constexpr int32_t kComment1 = 1006;
  static constexpr int32_t kComment2 = 1007;
  static constexpr int32_t kComment3 = 1008;
  static constexpr int32_t kFemale = 1026;
  static constexpr int32_t kMale = 1028;

  CSubjectDlg(SubjectInfo& subject, QWidget* parent = nullptr);

 protected:
  bool exchange() override;

 private:
  QLineEdit* addEdit(int32_t id, const QString& label, bool number);

  SubjectInfo& subject_;
  QButtonGroup* sex_;
};

}  // namespace velkora
