#include "desktop/dialogs/data_exchange.h"

#include <QLineEdit>

#include "desktop/message_box.h"

namespace velkora {
namespace {

std::string textOf(const QLineEdit* edit) { return edit->text().toUtf8().toStdString(); }

}  // namespace

bool DataExchange::report(QLineEdit* edit, const std::optional<std::string>& message) {
  if (!message) return true;
  return fail(edit, *message);
}

bool DataExchange::fail(QLineEdit* edit, std::string_view message) {
  if (!ok_) return false;
  ok_ = false;
  showMessageBox(dialog_, message);
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
  return false;
}

bool DataExchange::text(QLineEdit* edit, int32_t maxCharacters, std::string& out) {
  if (!ok_) return false;
  const std::string value = textOf(edit);
  if (!report(edit, checkTextLength(value, maxCharacters))) return false;
  out = value;
  return true;
}

bool DataExchange::integer(QLineEdit* edit, int32_t& out) {
  if (!ok_) return false;
  int32_t value = 0;
  if (!report(edit, checkInteger(textOf(edit), value))) return false;
  out = value;
  return true;
}

bool DataExchange::integerInRange(QLineEdit* edit, Range range, int32_t& out) {
  if (!ok_) return false;
  int32_t value = 0;
  if (!report(edit, checkIntegerInRange(textOf(edit), range, value))) return false;
  out = value;
  return true;
}

}  // namespace velkora
