#include <clocale>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/paths.h"
#include "app/program_records.h"
#include "cli/cli_command.h"

namespace {

// The program's one instance of each shared record, for the whole run.
velkora::ProgramRecords programRecords;

}  // namespace

int main(int argc, char** argv) {
  // A reader that goes away (a pager quit early, a closed terminal pipe) makes our writes fail, which
  // ends in exit code 1 below, instead of killing the process; a running test then still saves.
  std::signal(SIGPIPE, SIG_IGN);
  // A file that reaches the size limit (ulimit -f) fails its write with EFBIG, reported with the path
  // like any other write failure, instead of killing the process and leaving the temporary file.
  std::signal(SIGXFSZ, SIG_IGN);
  // Report numbers follow the user's locale, as in the desktop program.
  std::setlocale(LC_NUMERIC, "");
  std::ios::sync_with_stdio(false);
  // The program's places: the default library beside the DATA folder, which record keeps current.
  programRecords.paths = velkora::systemProgramPaths();
  std::vector<std::string> args(argv + 1, argv + argc);
  velkora::cli::CliIo io{std::cin, std::cout, std::cerr};
  const int code = velkora::cli::runCli(args, io, programRecords.shared());
  std::cout.flush();
  // Output that did not reach its file (a full disk, a closed pipe) is a failure, not a success.
  if (!std::cout && code == velkora::cli::kExitOk) {
    std::cerr << "velkora-cli: could not write the output\n";
    return velkora::cli::kExitFailure;
  }
  return code;
}
