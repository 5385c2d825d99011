#include "child.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace krvbsim {

bool Child::start(const std::vector<std::string>& command, const std::string& port,
                  std::string& error) {
  std::vector<char*> argv;
  for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) {
    error = std::string("fork: ") + std::strerror(errno);
    return false;
  }
  if (pid_ == 0) {
    ::signal(SIGPIPE, SIG_DFL);  // ignored here, not inherited
    ::setenv("DRAVELPORT", port.c_str(), 1);
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "krvbsim: cannot run %s: %s\n", argv[0], std::strerror(errno));
    ::_exit(127);
  }
  return true;
}

std::optional<int> Child::poll_exit() {
  if (pid_ < 0) return std::nullopt;
  int status = 0;
  pid_t r = ::waitpid(pid_, &status, WNOHANG);
  if (r != pid_) return std::nullopt;
  pid_ = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

void Child::signal(int sig) {
  if (pid_ > 0) ::kill(pid_, sig);
}

}  // namespace krvbsim
