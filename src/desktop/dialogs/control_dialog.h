#pragma once
// A modal dialog whose controls are known by their control ids, so the program and its tests reach
// a field the same way. OK runs the dialog's exchange and closes only when it succeeds.

#include <QDialog>
#include <cstdint>
#include <map>

class QDialogButtonBox;

namespace velkora {

inline constexpr int32_t kIdOk = 1;
inline constexpr int32_t kIdCancel = 2;

class ControlDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ControlDialog(QWidget* parent, const QString& title);

  QWidget* control(int32_t id) const;
  template <typename T>
  T* control(int32_t id) const {
    return qobject_cast<T*>(control(id));
  }

 protected:
  // Registers a control under its id and gives it an accessible name.
  template <typename T>
  T* add(int32_t id, T* widget, const QString& accessibleName) {
    widget->setAccessibleName(accessibleName);
    controls_[id] = widget;
    return widget;
  }
  // OK and Cancel, registered as 1 and 2.
  QDialogButtonBox* addOkCancel(bool withCancel = true);
  // Reads and checks the fields; true lets OK close the dialog.
  virtual bool exchange() { return true; }

 private:
  std::map<int32_t, QWidget*> controls_;
};

}  // namespace velkora
