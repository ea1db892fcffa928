#pragma once
// Runs a velkora-cli command line in-process with string streams.

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/program_records.h"
#include "cli/cli_command.h"

namespace velkora::testing {

struct CliResult {
  int code;
  std::string out;
  std::string err;
};

// Runs on the records given, as a velkora-cli process whose records hold them.
inline CliResult runCommandLineOn(ProgramRecords& records, const std::vector<std::string>& args,
                                  const std::string& input = {}) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  cli::CliIo io{in, out, err};
  const int code = cli::runCli(args, io, records.shared());
  return {code, out.str(), err.str()};
}

// Each run gets fresh shared records, as a new process of velkora-cli would.
inline CliResult runCommandLine(const std::vector<std::string>& args, const std::string& input = {}) {
  auto records = std::make_unique<ProgramRecords>();
  return runCommandLineOn(*records, args, input);
}

}  // namespace velkora::testing
