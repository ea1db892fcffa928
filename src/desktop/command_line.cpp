#include "desktop/command_line.h"

#include "storage/measurement_file.h"

namespace velkora {
namespace {

bool endsWith(const std::string& text, std::string_view suffix) {
  return text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::string usageText() {
  return "Usage: velkora [--simulate[=SCENARIO]] [FILE]\n"
         "  --simulate[=SCENARIO]  use the simulated plate instead of the USB plate\n"
         "  FILE                   a force-test (.vkr) or power-test (.tsr) file to open\n"
         "  --help                 show this text\n";
}

CommandLineResult parseCommandLine(const std::vector<std::string>& args, StartOptions& options, std::string& error) {
  error.clear();
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return CommandLineResult::Help;
  }
  std::vector<std::string> rest = args;
  if (!extractSimulationOption(rest, options.simulation, error)) return CommandLineResult::UsageError;
  for (const std::string& arg : rest) {
    if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return CommandLineResult::UsageError;
    }
    if (!options.file.empty()) {
      error = "only one FILE can be opened";
      return CommandLineResult::UsageError;
    }
    if (!endsWith(arg, kForceFileExtension) && !endsWith(arg, kPowerFileExtension)) {
      error = "FILE must be a .vkr or .tsr file: " + arg;
      return CommandLineResult::UsageError;
    }
    options.file = arg;
  }
  return CommandLineResult::Run;
}

}  // namespace velkora
