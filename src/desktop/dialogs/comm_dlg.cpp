#include "desktop/dialogs/comm_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velkora {

CCommDlg::CCommDlg(AppSettings& app, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Setup")), app_(app), ports_(new QButtonGroup(this)) {
  auto* column = new QVBoxLayout(this);
  auto* group = new QGroupBox(QStringLiteral("Communication port"), this);
  group->setAccessibleName(QStringLiteral("Communication port"));
  auto* list = new QVBoxLayout(group);
  for (int32_t i = 0; i < kPorts; ++i) {
    const QString name = QStringLiteral("COM%1").arg(i + 1);
    auto* button = add(kFirstPort + i, new QRadioButton(name, group), name);
    ports_->addButton(button, i);
    list->addWidget(button);
  }
  column->addWidget(group);
  column->addWidget(addOkCancel());
  if (QAbstractButton* chosen = ports_->button(app.portIndex)) chosen->setChecked(true);
}

bool CCommDlg::exchange() {
  // No button is checked only for a port number outside COM1..COM5 read from the configuration;
  // it stays as it was then.
  const int chosen = ports_->checkedId();
  if (chosen >= 0) app_.portIndex = chosen;
  return true;
}

}  // namespace velkora
