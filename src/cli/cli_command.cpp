#include "cli/cli_command.h"

#include <CLI/CLI.hpp>
#include <ostream>
#include <utility>

namespace velkora::cli {
namespace {

constexpr std::string_view kProgram = "velkora-cli";
constexpr std::string_view kDescription = "velkora-cli: the command-line companion of the Velkora force plate program";
constexpr std::string_view kFooter =
    "Run 'velkora-cli COMMAND --help' for a command's options.\n"
    "Exit codes: 0 success, 1 the operation failed, 2 wrong command line.\n"
    "Numbers in reports follow the locale of LC_NUMERIC / LANG.";

// CLI11's help, with a flag that also takes "=VALUE" (--simulate) named without its default in braces:
// its option text says what it takes.
class HelpFormatter final : public CLI::Formatter {
 public:
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    std::string name = CLI::Formatter::make_option_name(option, positional);
    for (size_t open = name.find('{'); open != std::string::npos; open = name.find('{', open)) {
      const size_t close = name.find('}', open);
      if (close == std::string::npos) break;
      name.erase(open, close - open + 1);
    }
    return name;
  }
};

// CLI11 words a value missing at the end of the line "--start-force: 1 required N missing"; we say
// "--start-force needs a value". Other messages stay as they are.
std::string parseErrorText(const CLI::ParseError& error) {
  const std::string text = error.what();
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) == nullptr || !text.ends_with(" missing")) return text;
  const size_t colon = text.find(": ");
  if (colon == std::string::npos || colon == 0) return text;
  size_t digits = colon + 2;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == colon + 2 || text.compare(digits, 10, " required ") != 0) return text;
  return text.substr(0, colon) + " needs a value";
}

std::vector<CliCommandInfo>& registry() {
  static std::vector<CliCommandInfo> commands;
  return commands;
}

}  // namespace

CliRegistration::CliRegistration(const CliCommandInfo& command) {
  auto& commands = registry();
  auto it = commands.begin();
  while (it != commands.end() && it->name < command.name) ++it;
  commands.insert(it, command);
}

const std::vector<CliCommandInfo>& registeredCommands() { return registry(); }

int runCli(const std::vector<std::string>& args, CliIo& io, SharedRecords records) {
  CLI::App app{std::string(kDescription), std::string(kProgram)};
  const auto formatter = std::make_shared<HelpFormatter>();
  app.formatter(formatter);
  app.footer(std::string(kFooter));
  app.require_subcommand(0, 1);
  // As with most programs, a repeated option counts with its last value.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  CLI::App* help = app.add_subcommand("help", "print this help");

  // Every command gets fresh fields to parse into, so runs in one process never share values.
  std::vector<std::pair<CLI::App*, std::unique_ptr<CliCommand>>> commands;
  for (const CliCommandInfo& info : registeredCommands()) {
    CLI::App* sub = app.add_subcommand(std::string(info.name), std::string(info.summary));
    sub->footer(std::string(info.description));
    std::unique_ptr<CliCommand> command = info.make();
    command->define(*sub);
    commands.emplace_back(sub, std::move(command));
  }

  if (args.empty()) {
    io.err << app.help();
    return kExitUsage;
  }
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    io.out << app.help();  // the help of the command being parsed, or of the program
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    std::string where(kProgram);
    const CLI::App* wrong = nullptr;
    for (size_t i = 0; i < commands.size(); ++i) {
      CLI::App* sub = commands[i].first;
      if (!sub->parsed()) continue;
      where += " " + sub->get_name();
      if (registeredCommands()[i].usageAfterError) wrong = sub;
    }
    if (where == kProgram && dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && !args[0].starts_with("-"))
      io.err << where << ": unknown command '" << args[0] << "' (try --help)\n";
    else
      io.err << where << ": " << parseErrorText(e) << '\n';
    // The usage line of a command that asks for it follows the message.
    if (wrong != nullptr) {
      std::string usage = formatter->make_usage(wrong, where);
      if (!usage.ends_with('\n')) usage += '\n';
      io.err << usage;
    }
    return kExitUsage;
  }
  for (const auto& [sub, command] : commands)
    if (sub->parsed()) return command->run(io, records);
  if (help->parsed()) {
    io.out << app.get_formatter()->make_help(&app, std::string(kProgram), CLI::AppFormatMode::Normal);
    return kExitOk;
  }
  io.err << app.help();
  return kExitUsage;
}

}  // namespace velkora::cli
