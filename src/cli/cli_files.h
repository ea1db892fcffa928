#pragma once
// What every velkora-cli command that reads or writes a file shares: the test kind a file name
// implies, loading with the program's messages on stderr, and the reason a file could not be used.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "acquisition/measurement_store.h"
#include "cli/cli_command.h"
#include "model/messages.h"
#include "model/shared_records.h"
#include "storage/measurement_file.h"

namespace velkora::cli {

// Prints every message on its own line.
class StreamMessageSink : public MessageSink {
 public:
  explicit StreamMessageSink(std::ostream& out) : out_(out) {}
  void showMessage(std::string_view text) override {
    out_ << text << '\n';
    if (first_ != nullptr && first_->empty()) first_->assign(text);
  }
  // Keeps the first message shown in `first` as well.
  void keepFirstIn(std::string* first) { first_ = first; }

 private:
  std::ostream& out_;
  std::string* first_ = nullptr;
};

// "force" or "power".
std::optional<TestKind> parseTestKind(std::string_view text);
std::string_view testKindName(TestKind kind);

// The line that follows the program's message when a file could not be opened, read or written:
// "PATH: reason", the reason as the system words it ("No such file or directory", ...).
void printFileReason(std::ostream& err, std::string_view path, const std::error_code& reason);

// Opens the file into the records as the test kind the override gives, else the one the name implies.
// On failure the program's message (and, when the file could not be opened, the path and the reason)
// is on io.err, also in `message` when given, and the command should exit with kExitFailure.
bool loadForCli(const std::string& path, std::optional<TestKind> kindOverride, SharedRecords& records, CliIo& io,
                std::string* message = nullptr);

// No command writes over the file it reads: true, after a message on io.err, when `output` is the
// existing file `input` under any name.
bool outputIsInput(std::string_view command, const std::string& input, const std::string& output, CliIo& io);

}  // namespace velkora::cli
