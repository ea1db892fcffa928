#include "cli/cli_command.h"

#include <charconv>
#include <ostream>

namespace velkora::cli {
namespace {

std::vector<CliCommand>& registry() {
  static std::vector<CliCommand> commands;
  return commands;
}

void printHelp(std::ostream& os) {
  os << "velkora-cli: the command-line companion of the Velkora force plate program\n\n"
        "Usage: velkora-cli COMMAND [ARGUMENTS]\n\nCommands:\n";
  for (const CliCommand& c : registeredCommands()) {
    os << "  " << c.name << ' ' << c.usage << "\n      " << c.summary << '\n';
  }
  os << "\nExit codes: 0 success, 1 the operation failed, 2 wrong command line.\n"
        "Numbers in reports follow the locale of LC_NUMERIC / LANG.\n";
}

}  // namespace

CliRegistration::CliRegistration(const CliCommand& command) {
  auto& commands = registry();
  auto it = commands.begin();
  while (it != commands.end() && it->name < command.name) ++it;
  commands.insert(it, command);
}

const std::vector<CliCommand>& registeredCommands() { return registry(); }

int runCli(const std::vector<std::string>& args, CliIo& io) {
  if (args.empty()) {
    printHelp(io.err);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    printHelp(io.out);
    return kExitOk;
  }
  for (const CliCommand& c : registeredCommands()) {
    if (c.name == args[0]) {
      const std::vector<std::string> rest(args.begin() + 1, args.end());
      for (const std::string& a : rest) {
        if (a == "--help" || a == "-h") {
          io.out << "Usage: velkora-cli " << c.name << ' ' << c.usage << "\n  " << c.summary << '\n';
          return kExitOk;
        }
      }
      return c.run(rest, io);
    }
  }
  io.err << "velkora-cli: unknown command '" << args[0] << "' (try --help)\n";
  return kExitUsage;
}

bool takeOption(const std::vector<std::string>& args, size_t& i, std::string_view name, std::string& value,
                bool& missing) {
  const std::string& a = args[i];
  missing = false;
  if (a == name) {
    if (i + 1 >= args.size()) {
      missing = true;
      return true;
    }
    value = args[++i];
    return true;
  }
  if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
    value = a.substr(name.size() + 1);
    return true;
  }
  return false;
}

bool parseInt(std::string_view text, long long& value) {
  if (text.empty()) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+') ++first;
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last;
}

}  // namespace velkora::cli
