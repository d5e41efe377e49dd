#pragma once
// Fault injection without root: a piece of code run in a child process whose files may not
// grow beyond a size, as on a full disk. SIGXFSZ is ignored there, so a write past the limit
// fails with EFBIG instead of ending the process.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

namespace vardell::testing {

// The exit status of body (0..255) run in a child whose files are limited to limitBytes;
// -1 when the child did not exit normally (a crash).
inline int StatusWithFileSizeLimit(rlim_t limitBytes, const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{limitBytes, limitBytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(100);
    int status = 101;
    try {
      status = body();
    } catch (...) {
      status = 102;
    }
    _exit(status);  // no exit handlers of the parent's test framework
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vardell::testing
