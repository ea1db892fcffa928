#pragma once
// Runs a velkora-cli command line in-process with string streams.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_command.h"

namespace velkora::testing {

struct CliResult {
  int code;
  std::string out;
  std::string err;
};

inline CliResult runCommandLine(const std::vector<std::string>& args, const std::string& input = {}) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  cli::CliIo io{in, out, err};
  const int code = cli::runCli(args, io);
  return {code, out.str(), err.str()};
}

}  // namespace velkora::testing
