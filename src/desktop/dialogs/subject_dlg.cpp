#include "desktop/dialogs/subject_dlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "desktop/dialogs/data_exchange.h"

namespace velkora {
namespace {

QString toQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CSubjectDlg::CSubjectDlg(SubjectInfo& subject, QWidget* parent)
    : ControlDialog(parent, QStringLiteral("Subject dialog")), subject_(subject), sex_(new QButtonGroup(this)) {
  auto* column = new QVBoxLayout(this);
  auto* form = new QFormLayout();
  column->addLayout(form);

  QLineEdit* name = addEdit(kName, QStringLiteral("Name"), false);
  form->addRow(QStringLiteral("Name"), name);

  auto* sexBox = new QGroupBox(QStringLiteral("Sex"), this);
  sexBox->setAccessibleName(QStringLiteral("Sex"));
  auto* sexRow = new QHBoxLayout(sexBox);
  auto* female = add(kFemale, new QRadioButton(QStringLiteral("female"), sexBox), QStringLiteral("female"));
  auto* male = add(kMale, new QRadioButton(QStringLiteral("male"), sexBox), QStringLiteral("male"));
  sexRow->addWidget(female);
  sexRow->addWidget(male);
  sex_->addButton(female, 0);
  sex_->addButton(male, 1);
  form->addRow(sexBox);

  form->addRow(QStringLiteral("Age"), addEdit(kAge, QStringLiteral("Age"), true));
  form->addRow(QStringLiteral("Weight"), addEdit(kWeight, QStringLiteral("Weight"), true));
  form->addRow(QStringLiteral("Height"), addEdit(kHeight, QStringLiteral("Height"), true));
  form->addRow(QStringLiteral("Comment 1"), addEdit(kComment1, QStringLiteral("Comment 1"), false));
  form->addRow(QStringLiteral("Comment 2"), addEdit(kComment2, QStringLiteral("Comment 2"), false));
  form->addRow(QStringLiteral("Comment 3"), addEdit(kComment3, QStringLiteral("Comment 3"), false));
  column->addWidget(addOkCancel());

  // The record's values; a sex of -1 from a file leaves both buttons clear.
  name->setText(toQString(subject.name));
  control<QLineEdit>(kAge)->setText(QString::number(subject.age));
  control<QLineEdit>(kWeight)->setText(QString::number(subject.weight));
  control<QLineEdit>(kHeight)->setText(QString::number(subject.height));
  control<QLineEdit>(kComment1)->setText(toQString(subject.comment1));
  control<QLineEdit>(kComment2)->setText(toQString(subject.comment2));
  control<QLineEdit>(kComment3)->setText(toQString(subject.comment3));
  if (subject.sex == 0) female->setChecked(true);
  if (subject.sex == 1) male->setChecked(true);
  name->setFocus(Qt::OtherFocusReason);
}

QLineEdit* CSubjectDlg::addEdit(int32_t id, const QString& label, bool number) {
  auto* edit = add(id, new QLineEdit(this), label);
  // Room for a name or comment of the full length; the numbers need little.
  if (!number) edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 40);
  if (number) {
    // Number fields take digits only and centre them.
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setAlignment(Qt::AlignCenter);
  }
  return edit;
}

bool CSubjectDlg::exchange() {
  SubjectInfo edited = subject_;
  DataExchange dx(this);
  dx.text(control<QLineEdit>(kName), kSubjectTextLimit, edited.name);
  dx.integerInRange(control<QLineEdit>(kAge), kAgeRange, edited.age);
  dx.integerInRange(control<QLineEdit>(kWeight), kWeightRange, edited.weight);
  dx.integerInRange(control<QLineEdit>(kHeight), kHeightRange, edited.height);
  dx.text(control<QLineEdit>(kComment1), kSubjectTextLimit, edited.comment1);
  dx.text(control<QLineEdit>(kComment3), kSubjectTextLimit, edited.comment3);
  // The radio group: the checked button's index, -1 when none is.
  if (dx.ok()) edited.sex = sex_->checkedId();
  dx.text(control<QLineEdit>(kComment2), kSubjectTextLimit, edited.comment2);
  if (!dx.ok()) return false;
  subject_ = edited;
  return true;
}

}  // namespace velkora
