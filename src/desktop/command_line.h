#pragma once
// The desktop program's command line: velkora [--simulate[=SCENARIO]] [--library LOCATION] [FILE].

#include <string>
#include <vector>

#include "acquisition/simulation_option.h"

namespace velkora {

struct StartOptions {
  SimulationOption simulation;  // replaces the USB plate by the simulated plate
  std::string file;             // a .vkr or .tsr file to open at start; empty for none
  std::string library;          // the subject library of this run; empty for the chosen one
};

enum class CommandLineResult { Run, Help, UsageError };

// Reads the arguments after the program's name, as the system gave their bytes (the windowing
// system's own options already taken out), so a file name is kept byte for byte. On UsageError
// `error` says why.
CommandLineResult parseCommandLine(const std::vector<std::string>& args, StartOptions& options, std::string& error);

std::string usageText();

}  // namespace velkora
