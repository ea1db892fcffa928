#include "desktop/dialogs/control_dialog.h"

#include <QDialogButtonBox>
#include <QPushButton>

namespace velkora {

ControlDialog::ControlDialog(QWidget* parent, const QString& title) : QDialog(parent) {
  setWindowTitle(title);
  setAccessibleName(title);
  setModal(true);
}

QWidget* ControlDialog::control(int32_t id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QDialogButtonBox* ControlDialog::addOkCancel(bool withCancel) {
  auto* box = new QDialogButtonBox(this);
  QPushButton* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  add(kIdOk, ok, QStringLiteral("OK"));
  if (withCancel)
    add(kIdCancel, box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole), QStringLiteral("Cancel"));
  connect(box, &QDialogButtonBox::accepted, this, [this] {
    if (exchange()) accept();
  });
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  return box;
}

}  // namespace velkora
