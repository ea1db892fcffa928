#pragma once
// Runs the real velkora-cli as a user's shell would: without the Qt platform settings of the test
// program, with the rest of its environment (TZ, the locale), stdout and stderr caught in files.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

extern char** environ;

namespace velkora::testing {

// `extraEnvironment` ("NAME=VALUE" each) is added to the environment.
inline CliResult runCliProgram(std::vector<std::string> args, const TempDir& dir,
                               const std::vector<std::string>& extraEnvironment = {}) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view setting(*entry);
    if (!setting.starts_with("QT_QPA_PLATFORM=") && !setting.starts_with("QT_QPA_FONTDIR="))
      environment.emplace_back(setting);
  }
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> envp;
  for (std::string& setting : environment) envp.push_back(setting.data());
  envp.push_back(nullptr);

  args.insert(args.begin(), VELKORA_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const std::string outPath = dir.file("cli.stdout");
  const std::string errPath = dir.file("cli.stderr");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, VELKORA_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return {-1, "", "could not start " VELKORA_CLI_PATH};
  int status = 0;
  ::waitpid(pid, &status, 0);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {code, readFile(outPath), readFile(errPath)};
}

}  // namespace velkora::testing
