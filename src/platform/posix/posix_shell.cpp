#include "platform/posix/posix_shell.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "base/signal_flag.h"
#include "platform/idle_wait.h"

extern char** environ;

namespace dravel::platform {

namespace {

// What a command asked to end gets before it is killed.
constexpr int END_GRACE_MS = 1000;
// Only where the kernel cannot hand out a descriptor for the child (before Linux 5.3).
constexpr int NO_PIDFD_NAP_MS = 100;

std::int64_t monotonic_ms() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

// Sleeps until the child ends, `timeout_ms` passes or a signal arrives.
void wait_for_child(int pidfd, int timeout_ms) {
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    ::poll(&p, 1, timeout_ms);
  } else {
    const int nap = timeout_ms < 0 || timeout_ms > NO_PIDFD_NAP_MS ? NO_PIDFD_NAP_MS : timeout_ms;
    ::poll(nullptr, 0, nap);
  }
}

void reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// The command (with `target` -pid, whatever it started too): asked to end, then killed.
void end_command(pid_t target, int pidfd) {
  ::kill(target, SIGTERM);
  wait_for_child(pidfd, END_GRACE_MS);
  ::kill(target, SIGKILL);
}

}  // namespace

int PosixShell::run(const std::string& command_line, int limit_ms) {
  console_.set_raw(false);
  int status = batch_ ? run_bounded(command_line, limit_ms) : std::system(command_line.c_str());
  console_.set_raw(true);
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// The wait status, or -1 when the command could not start or had to be ended.
int PosixShell::run_bounded(const std::string& command_line, int limit_ms) {
  posix_spawnattr_t attr;
  ::posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, sig);
  ::posix_spawnattr_setsigdefault(&attr, &defaults);
  // A group of its own lets the limit end what the command started. Not when the run was
  // started from a terminal: there a command that reads it must stay in the foreground.
  const bool own_group = ::isatty(STDIN_FILENO) != 1;
  short flags = POSIX_SPAWN_SETSIGDEF;
  if (own_group) {
    ::posix_spawnattr_setpgroup(&attr, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  ::posix_spawnattr_setflags(&attr, flags);
  const char* argv[] = {"sh", "-c", command_line.c_str(), nullptr};
  pid_t pid = -1;
  const int spawned =
      ::posix_spawn(&pid, "/bin/sh", nullptr, &attr, const_cast<char* const*>(argv), environ);
  ::posix_spawnattr_destroy(&attr);
  if (spawned != 0) return -1;

  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  const std::int64_t deadline = limit_ms == WAIT_FOREVER ? -1 : monotonic_ms() + limit_ms;
  int status = -1;
  for (;;) {
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) {
      status = -1;
      break;
    }
    const std::int64_t left = deadline < 0 ? WAIT_FOREVER : deadline - monotonic_ms();
    if (pending_signal() != 0 || (deadline >= 0 && left <= 0)) {
      end_command(own_group ? -pid : pid, pidfd);
      reap(pid);
      status = -1;
      break;
    }
    wait_for_child(pidfd, static_cast<int>(left));
  }
  if (pidfd >= 0) ::close(pidfd);
  return status;
}

}  // namespace dravel::platform
