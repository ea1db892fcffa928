#include "desktop/command_line.h"

#include <CLI/CLI.hpp>

#include "storage/measurement_file.h"

namespace velkora {

std::string usageText() {
  return "Usage: velkora [--simulate[=SCENARIO]] [--library LOCATION] [FILE]\n"
         "  --simulate[=SCENARIO]  use the simulated plate instead of the USB plate.\n"
         "                         " +
         scenarioHelpText(100, "                         ") +
         "\n"
         "  --library LOCATION     the subject library for this run: a library file, or a server as\n"
         "                         postgresql://HOST/DATABASE or service=NAME (default: the choice of\n"
         "                         Setup -> Library..., else library.sqlite beside the DATA folder)\n"
         "  FILE                   a force-test (.vkr) or power-test (.tsr) file to open\n"
         "  -h, --help             show this text\n"
         "Qt's own options (one dash, such as -platform NAME or -style NAME) are passed to Qt.\n";
}

CommandLineResult parseCommandLine(const std::vector<std::string>& args, StartOptions& options, std::string& error) {
  error.clear();
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") return CommandLineResult::Help;
  }
  for (size_t k = 0; k < args.size(); ++k) {
    if (args[k] == "--library" && (k + 1 == args.size() || args[k + 1].starts_with("-"))) {
      error = "--library needs a value";
      return CommandLineResult::UsageError;
    }
  }
  CLI::App app{"", "velkora"};
  app.set_help_flag();  // answered above, before anything else is checked
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::string scenario;
  CLI::Option* simulate = app.add_flag("--simulate{}", scenario);
  std::string library;
  CLI::Option* libraryOption = app.add_option("--library", library);
  std::vector<std::string> files;
  app.add_option("FILE", files)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
    app.parse(reversed);
  } catch (const CLI::ExtrasError&) {
    const std::vector<std::string> extras = app.remaining();
    error = extras.empty() ? std::string("unknown option") : "unknown option " + extras.front();
    return CommandLineResult::UsageError;
  } catch (const CLI::ParseError& e) {
    error = e.what();
    return CommandLineResult::UsageError;
  }
  if (simulate->count() > 0) {
    std::string reason;
    SimulationPlan plan;
    if (!parseSimulation(scenario, plan, reason)) {
      error = "--simulate: " + reason;
      return CommandLineResult::UsageError;
    }
    options.simulation.given = true;
    options.simulation.plan = std::move(plan);
  }
  if (libraryOption->count() > 0) {
    if (library.empty()) {
      error = "--library needs a library file or a server";
      return CommandLineResult::UsageError;
    }
    options.library = library;
  }
  if (files.size() > 1) {
    error = "only one FILE can be opened";
    return CommandLineResult::UsageError;
  }
  if (!files.empty()) {
    // The name says the kind; a bare ".vkr" names no file.
    const std::string& file = files.front();
    if (file.size() <= kForceFileExtension.size() || !isMeasurementFileName(file)) {
      error = "FILE must be a .vkr or .tsr file: " + file;
      return CommandLineResult::UsageError;
    }
    options.file = file;
  }
  return CommandLineResult::Run;
}

}  // namespace velkora
