#pragma once
// What every velkora-cli command that reads a measurement file shares: the --kind option, the test
// kind a file name implies, and loading with the program's messages on stderr.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/measurement_store.h"
#include "app/messages.h"
#include "cli/cli_command.h"
#include "storage/subject_info.h"

namespace velkora::cli {

// Prints every message on its own line.
class StreamMessageSink : public MessageSink {
 public:
  explicit StreamMessageSink(std::ostream& out) : out_(out) {}
  void showMessage(std::string_view text) override { out_ << text << '\n'; }

 private:
  std::ostream& out_;
};

// "force" or "power".
std::optional<TestKind> parseTestKind(std::string_view text);
std::string_view testKindName(TestKind kind);

// A name ending in ".tsr" (any letter case) is a power test, any other a force test.
TestKind testKindForPath(std::string_view path);

// Returns true when args[i] is the --kind option (advancing i past its value). `invalid` is set when
// the value is missing or not a test kind.
bool takeKindOption(const std::vector<std::string>& args, size_t& i, std::optional<TestKind>& kind, bool& invalid);

// Loads the file as the test kind the override gives, else the one the name implies.
// On failure the program's message is on io.err and the command should exit with kExitFailure.
bool loadForCli(const std::string& path, std::optional<TestKind> kindOverride, MeasurementStore& store,
                SubjectInfo& subject, CliIo& io);

}  // namespace velkora::cli
