#include "desktop/dialogs/check_dlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/exercise_use_cases.h"
#include "desktop/message_box.h"
#include "model/messages.h"

namespace velkora {

CCheckDlg::CCheckDlg(ProgramPlate& plate, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Check dialog")), readout_(plate.checkReadout()) {
  auto* column = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  column->addLayout(grid);
  auto* vertical = add(kVertical, new QLineEdit(this), QStringLiteral("Vertical"));
  auto* horizontal = add(kHorizontal, new QLineEdit(this), QStringLiteral("Horizontal"));
  // The readout's own blanks line the digits up, so the fields use a fixed-pitch font.
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (QLineEdit* field : {vertical, horizontal}) {
    field->setReadOnly(true);
    field->setFont(fixed);
    field->setAlignment(Qt::AlignRight);
  }
  grid->addWidget(new QLabel(QStringLiteral("Vertical"), this), 0, 1, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Horizontal"), this), 0, 2, Qt::AlignHCenter);
  grid->addWidget(new QLabel(QStringLiteral("Actual force (kp): "), this), 1, 0);
  grid->addWidget(vertical, 1, 1);
  grid->addWidget(horizontal, 1, 2);
  column->addWidget(addOkCancel(false));

  timer_.setInterval(static_cast<int>(kCheckTickInterval.count()));
  connect(&timer_, &QTimer::timeout, this, &CCheckDlg::onTick);
  if (!runCheck(plate)) showMessageBox(parent, msg::kErrorInCommunication);
  timer_.start();
}

void CCheckDlg::onTick() {
  const CheckValues values = readout_.tick();
  control<QLineEdit>(kVertical)->setText(QString::fromStdString(values.vertical));
  control<QLineEdit>(kHorizontal)->setText(QString::fromStdString(values.horizontal));
  if (values.plateLost) showMessageBox(this, msg::kErrorInCommunication);
}

void CCheckDlg::done(int result) {
  timer_.stop();
  readout_.close();
  ControlDialog::done(result);
}

}  // namespace velkora
