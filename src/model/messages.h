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

// The desktop program's view, dialogs and closing question.
inline constexpr std::string_view kIntervalInternalError = "Internal error: nInterv";
inline constexpr std::string_view kEnterInteger = "Please enter an integer.";
// %1 and %2 are the field's bounds.
inline constexpr std::string_view kEnterIntegerBetween = "Please enter an integer between %1 and %2.";
// %1 is the field's length limit.
inline constexpr std::string_view kEnterNoMoreThan = "Please enter no more than %1 characters.";
inline constexpr std::string_view kMaximumAboveMinimum = "The maximum must be greater than the minimum.";
// The Help command when no copy of the user guide is found.
inline constexpr std::string_view kUserGuideMissing = "The user guide was not found.";
// At the start after a take was saved on the program's way out; %1 is the recovery file's name (it
// lies in the DATA folder and is listed under File).
inline constexpr std::string_view kRecordingRecovered = "A recording was recovered: %1";
}  // namespace msg

// Replaces every "%1" in a message template by the argument.
std::string formatMessage(std::string_view templ, std::string_view arg1);

// Replaces every "%1" by the first argument and every "%2" by the second, in one pass, so an
// argument that itself holds "%2" is left as it is.
std::string formatMessage(std::string_view templ, std::string_view arg1, std::string_view arg2);

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
