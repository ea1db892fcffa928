#pragma once
// Reading a dialog's fields in order, the way every dialog of the program validates: the first
// field that fails shows its prompt, gets the focus with its text selected, and stops the exchange.

#include <cstdint>
#include <optional>
#include <string>

#include "app/field_validation.h"

class QLineEdit;
class QWidget;

namespace velkora {

class DataExchange {
 public:
  explicit DataExchange(QWidget* dialog) : dialog_(dialog) {}

  // Each returns false when this field or an earlier one failed; `out` changes only on success.
  bool text(QLineEdit* edit, int32_t maxCharacters, std::string& out);
  bool integer(QLineEdit* edit, int32_t& out);
  bool integerInRange(QLineEdit* edit, Range range, int32_t& out);
  // A rule of the dialog's own that found a fault: shows `message` and focuses `edit`.
  bool fail(QLineEdit* edit, std::string_view message);

  bool ok() const { return ok_; }

 private:
  bool report(QLineEdit* edit, const std::optional<std::string>& message);

  QWidget* dialog_;
  bool ok_ = true;
};

}  // namespace velkora
