#include "platform/posix/posix_shell.h"

#include <sys/wait.h>

#include <cstdlib>

namespace dravel::platform {

int PosixShell::run(const std::string& command_line) {
  console_.set_raw(false);
  int status = std::system(command_line.c_str());
  console_.set_raw(true);
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace dravel::platform
