#include "desktop/message_box.h"

#include <QMessageBox>
#include <QString>

namespace velkora {
namespace {

const QString kTitle = QStringLiteral("Velkora");

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void showMessageBox(QWidget* parent, std::string_view text) {
  QMessageBox box(QMessageBox::Warning, kTitle, toQString(text), QMessageBox::Ok, parent);
  box.exec();
}

Answer askQuestion(QWidget* parent, std::string_view text, bool withCancel) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (withCancel) buttons |= QMessageBox::Cancel;
  QMessageBox box(QMessageBox::Question, kTitle, toQString(text), buttons, parent);
  box.setDefaultButton(QMessageBox::Yes);
  if (withCancel) box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return withCancel ? Answer::Cancel : Answer::No;
  }
}

}  // namespace velkora
