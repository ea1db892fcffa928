// velkora-cli under a file size limit (ulimit -f): a save that reaches it fails like any other write,
// with the path and the reason, and leaves neither a temporary file nor a changed target behind.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "support/temp_dir.h"

namespace velkora::cli {
namespace {

using velkora::testing::TempDir;

struct LimitedRun {
  int status = 0;
  std::string err;
};

// Runs velkora-cli with `args` in a child whose files may grow to `limitBytes`, with SIGXFSZ at its
// default action as a shell gives it; stdout goes to /dev/null.
LimitedRun runLimited(std::vector<std::string> args, rlim_t limitBytes) {
  args.insert(args.begin(), VELKORA_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int errPipe[2];
  if (::pipe(errPipe) != 0) return {-1, "pipe failed"};
  const pid_t pid = ::fork();
  if (pid == 0) {
    const rlimit limit{limitBytes, limitBytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_DFL);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(errPipe[1], 2);
    ::close(errPipe[0]);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(errPipe[1]);
  LimitedRun run;
  char buffer[512];
  for (ssize_t n; (n = ::read(errPipe[0], buffer, sizeof buffer)) > 0;) run.err.append(buffer, static_cast<size_t>(n));
  ::close(errPipe[0]);
  ::waitpid(pid, &run.status, 0);
  return run;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileSizeLimit, SavesBeyondTheLimitFailWithThePathAndTheReason) {
  TempDir dir;
  // A recording of 1000 samples (8 kB) to export, made without a limit.
  const std::string source = dir.file("source.vkr");
  ASSERT_EQ(
      runLimited({"record", "--force-time", "1", "--start-force", "0", "--simulate=stand,fast", "--output", source},
                 RLIM_INFINITY)
          .status,
      0);
  const std::filesystem::path out = dir.path() / "out";
  std::filesystem::create_directory(out);
  const std::string take = (out / "take.vkr").string();
  const std::string csv = (out / "report.csv").string();
  const struct {
    std::vector<std::string> args;
    std::string path;
  } cases[] = {
      {{"record", "--force-time", "1", "--start-force", "0", "--simulate=stand,fast", "--output", take}, take},
      {{"export-csv", source, "--output", csv}, csv},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const LimitedRun run = runLimited(c.args, 4096);
    ASSERT_TRUE(WIFEXITED(run.status)) << "ended by signal " << WTERMSIG(run.status) << ": " << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), kExitFailure) << run.err;
    EXPECT_NE(run.err.find("File Save Error\n" + c.path + ": File too large\n"), std::string::npos) << run.err;
    EXPECT_EQ(namesIn(out), std::vector<std::string>{}) << "no temporary file, no target";
  }
}

}  // namespace
}  // namespace velkora::cli
