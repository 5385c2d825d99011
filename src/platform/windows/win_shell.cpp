#include "platform/windows/win_shell.h"

#include <cstdlib>

#include "platform/windows/console_control.h"
#include "platform/windows/win_console.h"

namespace dravel::platform {

int WinShell::run(const std::string& command_line) {
  console_.suspend();
  control_.set_shell_running(true);
  int status = std::system(command_line.c_str());
  control_.set_shell_running(false);
  console_.resume();
  return status;
}

}  // namespace dravel::platform
