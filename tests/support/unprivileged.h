#pragma once
// Runs a check in a child process that has given up root for the user "nobody", so permission rules
// hold for the test even when the tests run as root. Call it while the test process has no other
// threads running.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace velkora::testing {

// The child's exit code: what `check` returned, 100 when root could not be given up, 101 when the
// child did not exit normally.
inline int runUnprivileged(const std::function<int()>& check) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(100);
    ::_exit(check());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

}  // namespace velkora::testing
