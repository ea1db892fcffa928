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
         "  --simulate[=SCENARIO]  use the simulated plate instead of the USB plate. Without SCENARIO the\n"
         "                         simulated subject does what each test asks, set in the \"Simulated\n"
         "                         plate\" menu; SCENARIO is ITEM[/ITEM...][,fast], one item per start of\n"
         "                         the plate, with items empty, stand[:KG],\n"
         "                         pushes[:COUNT[:PEAK_N[:MS[:HORIZONTAL_N[:PAUSE_MS]]]]],\n"
         "                         jump[:KG[:FLIGHT_MS[:QUIET_MS]]], mass[:KG], hmass[:KG],\n"
         "                         calibration[:KG], silent, absent, unplug[:MS[:KG]]; \",fast\" sends\n"
         "                         the frames as fast as they are read\n"
         "  FILE                   a force-test (.vkr) or power-test (.tsr) file to open\n"
         "  -h, --help             show this text\n"
         "Qt's own options (one dash, such as -platform NAME or -style NAME) are passed to Qt.\n";
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
