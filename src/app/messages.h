#pragma once
// The texts the program shows the user, in one place, and the way they leave core: the desktop
// program shows a message box with OK, the command line prints them on stderr.

#include <string>
#include <string_view>
#include <vector>

namespace velkora {

namespace msg {
inline constexpr std::string_view kErrorInCommunication = "Error in communication";
inline constexpr std::string_view kErrorOpeningFile = "Error opening file";
inline constexpr std::string_view kIncompatibleData = "Incompatible data";
inline constexpr std::string_view kFileSaveError = "File Save Error";
inline constexpr std::string_view kNoItemsSelected = "No items were selected!";
inline constexpr std::string_view kDataNotSaved = "Data not saved. Save?";
inline constexpr std::string_view kConfigOpenError = "Error opening file 'velkora.cfg' make new calibration!";
inline constexpr std::string_view kMakeNewCalibration = "Warning - make new calibration!";
// %1 is replaced by the file's path.
inline constexpr std::string_view kPastEnd = "An attempt was made to access %1 past its end.";
}  // namespace msg

// Replaces every "%1" in a message template by the argument.
std::string formatMessage(std::string_view templ, std::string_view arg1);

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void showMessage(std::string_view text) = 0;
};

// Keeps every message in order; used by the tests and by callers that decide later what to show.
class CollectingMessageSink final : public MessageSink {
 public:
  void showMessage(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

}  // namespace velkora
