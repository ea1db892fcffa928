#include "desktop/dialogs/perform_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "acquisition/exercise_limits.h"
#include "desktop/dialogs/data_exchange.h"

namespace velkora {
PerformDlg::PerformDlg(AppSettings& app, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Perform dialog")),
      app_(app),
      mode_(new QButtonGroup(this)),
      forceTestMode_(app.forceTestMode),
      forceTestValue_(app.forceTestValue),
      startForce_(app.startForce) {
  auto* column = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  column->addLayout(grid);

  auto* time = add(kTime, new QRadioButton(QStringLiteral("Time"), this), QStringLiteral("Time"));
  auto* repetitions = add(kRepetitions, new QRadioButton(QStringLiteral("Number of repetions"), this),
                          QStringLiteral("Number of repetions"));
  mode_->addButton(time, kTimeMode);
  mode_->addButton(repetitions, kRepetitionMode);
  grid->addWidget(time, 0, 0);
  grid->addWidget(repetitions, 1, 0);

  auto* value = add(kValue, new QLineEdit(this), QStringLiteral("Value"));
  value->setAlignment(Qt::AlignRight);
  grid->addWidget(value, 0, 1, 2, 1, Qt::AlignVCenter);
  auto* unit = add(kUnit, new QLabel(this), QStringLiteral("Unit"));
  grid->addWidget(unit, 0, 2, 2, 1, Qt::AlignVCenter);

  grid->addWidget(new QLabel(QStringLiteral("Start Force:"), this), 2, 0);
  auto* startForce = add(kStartForce, new QLineEdit(this), QStringLiteral("Start Force:"));
  startForce->setAlignment(Qt::AlignRight);
  grid->addWidget(startForce, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral(" (N)"), this), 2, 2);

  column->addWidget(addOkCancel());
  // A click on a mode reads the fields first; the unit follows only when they are good.
  connect(time, &QRadioButton::clicked, this, &PerformDlg::modeClicked);
  connect(repetitions, &QRadioButton::clicked, this, &PerformDlg::modeClicked);

  showFields();
  value->setFocus(Qt::OtherFocusReason);
}

void PerformDlg::showFields() {
  // A mode other than 0 or 1 from the configuration checks no button, and counts as time mode.
  if (QAbstractButton* chosen = mode_->button(forceTestMode_)) chosen->setChecked(true);
  control<QLineEdit>(kValue)->setText(QString::number(forceTestValue_));
  control<QLineEdit>(kStartForce)->setText(QString::number(startForce_));
  control<QLabel>(kUnit)->setText(forceTestMode_ == kRepetitionMode ? QStringLiteral("(#)") : QStringLiteral("(s)"));
}

bool PerformDlg::readFields() {
  const int32_t mode = mode_->checkedId() == kRepetitionMode ? kRepetitionMode : kTimeMode;
  int32_t value = forceTestValue_;
  int32_t startForce = startForce_;
  DataExchange dx(this);
  dx.integerInRange(control<QLineEdit>(kValue), forceTestValueRange(mode), value);
  dx.integerInRange(control<QLineEdit>(kStartForce), velkora::kStartForce, startForce);
  if (!dx.ok()) return false;
  forceTestMode_ = mode;
  forceTestValue_ = value;
  startForce_ = startForce;
  return true;
}

void PerformDlg::modeClicked() {
  if (readFields()) showFields();
}

bool PerformDlg::exchange() {
  if (!readFields()) return false;
  app_.forceTestMode = forceTestMode_;
  app_.forceTestValue = forceTestValue_;
  app_.startForce = startForce_;
  return true;
}

}  // namespace velkora
