// Runs a piece of a test in a child process: as a user without root's rights, for whom file
// permissions hold, or with limits that must not reach the test program itself.
#pragma once

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "support/expect.hpp"

namespace quenlo::testing {

/// The user and group the child becomes when it gives root's rights up.
inline constexpr int kNobody = 65534;

/// The exit status of a child whose body raised an exception other than quenlo::Error.
inline constexpr int kOtherException = 254;

enum class Rights { kKept, kDropped };

/// Starts `body` in a child process, which first becomes kNobody with Rights::kDropped when it
/// runs as root. The child exits with the number of the error `body` raises, 0 for none, or
/// kOtherException.
inline pid_t StartChild(const std::function<void()>& body, Rights rights = Rights::kKept) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (rights == Rights::kDropped && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(255);
    }
    try {
      ::_exit(testing::ErrorNumberOf(body));
    } catch (...) {
      ::_exit(kOtherException);  // never back into the test program's own run
    }
  }
  return child;
}

/// Waits for a child: the error number it reported, or -1 when it did not exit (a crash, a
/// signal).
inline int ErrorNumberOfChild(pid_t child) {
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

/// The number of the error `body` raises (0 for none) in a child process.
inline int ErrorNumberInChild(const std::function<void()>& body, Rights rights = Rights::kKept) {
  return ErrorNumberOfChild(StartChild(body, rights));
}

/// In a child process: a write past `bytes` then fails as on a full disk.
inline void LimitFileSize(rlim_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, bytes};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

/// The number of the error `body` raises when a user without root's rights runs it.
inline int ErrorNumberUnprivileged(const std::function<void()>& body) {
  return ErrorNumberInChild(body, Rights::kDropped);
}

}  // namespace quenlo::testing
