#pragma once
// Commands of velkora-cli. Each command lives in its own file and registers itself with a static
// CliRegistration; main() only dispatches. Commands write to the streams they are given, so tests
// run them in-process.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

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

using CommandFunction = int (*)(const std::vector<std::string>& args, CliIo& io);

struct CliCommand {
  std::string_view name;
  std::string_view usage;    // arguments after the command name
  std::string_view summary;  // one line for --help
  CommandFunction run;
};

struct CliRegistration {
  explicit CliRegistration(const CliCommand& command);
};

const std::vector<CliCommand>& registeredCommands();

// Runs argv[1..] (without the program name) as a command line; returns the exit code.
int runCli(const std::vector<std::string>& args, CliIo& io);

// Small helpers for commands' own option parsing.
// Returns true and sets `value` when args[i] is "--name=VALUE" or "--name" followed by VALUE
// (advancing i); `missing` is set when the value is absent.
bool takeOption(const std::vector<std::string>& args, size_t& i, std::string_view name, std::string& value,
                bool& missing);
bool parseInt(std::string_view text, long long& value);

}  // namespace velkora::cli
