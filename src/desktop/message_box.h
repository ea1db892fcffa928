#pragma once
// The program's message boxes: a text with OK, or a question with Yes and No (and Cancel where
// closing the window may be called off).

#include <string_view>

#include "model/messages.h"

class QWidget;

namespace velkora {

enum class Answer { Yes, No, Cancel };

void showMessageBox(QWidget* parent, std::string_view text);
Answer askQuestion(QWidget* parent, std::string_view text, bool withCancel = false);

// Shows every core message as a message box with OK.
class MessageBoxSink final : public MessageSink {
 public:
  explicit MessageBoxSink(QWidget* parent) : parent_(parent) {}
  void showMessage(std::string_view text) override { showMessageBox(parent_, text); }

 private:
  QWidget* parent_;
};

}  // namespace velkora
