#pragma once
// Commands of velkora-cli. Each command lives in its own file and registers itself with a static
// CliRegistration; runCli builds one CLI11 parser with a subcommand per command, so every command and
// option gets its message, its --help and its value checks from the same library. Commands write to
// the streams they are given, so tests run them in-process.

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/shared_records.h"

namespace CLI {
class App;
}

namespace velkora::cli {

struct CliIo {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the operation failed (load, save, plate)
inline constexpr int kExitUsage = 2;    // the command line was wrong

// One command: declares its options and arguments on its CLI11 subcommand, binding them to its own
// fields, and runs once the whole command line has parsed and passed every check, on the program's
// shared records.
class CliCommand {
 public:
  virtual ~CliCommand() = default;
  virtual void define(CLI::App& command) = 0;
  virtual int run(CliIo& io, SharedRecords& records) = 0;
};

struct CliCommandInfo {
  std::string_view name;
  std::string_view summary;      // one line in the list of commands
  std::string_view description;  // what the command's --help says after its options
  std::unique_ptr<CliCommand> (*make)();
  bool usageAfterError = false;  // a wrong command line also prints the command's usage line
};

template <typename Command>
std::unique_ptr<CliCommand> makeCommand() {
  return std::make_unique<Command>();
}

struct CliRegistration {
  explicit CliRegistration(const CliCommandInfo& command);
};

// The registered commands in name order.
const std::vector<CliCommandInfo>& registeredCommands();

// Runs argv[1..] (without the program name) as a command line on `records`; returns the exit code.
// Help goes to io.out with 0; a wrong command line prints a message naming the option or argument on
// io.err and returns kExitUsage.
int runCli(const std::vector<std::string>& args, CliIo& io, SharedRecords records);

}  // namespace velkora::cli
