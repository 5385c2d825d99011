// dravel on a POSIX system: the real terminal, serial line, clock and shell.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/poll_idle_wait.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_serial.h"
#include "platform/posix/posix_shell.h"
#include "platform/posix/signal_handlers.h"
#include "platform/posix/system_clock.h"
#include "platform/posix/terminal_mode.h"
#include "platform/posix/tty_console.h"
#include "terminal/startup.h"

int main(int argc, char** argv) {
  using namespace dravel::platform;
  TerminalMode terminal(STDIN_FILENO);  // restores the terminal when main returns
  install_signal_handlers();

  TtyConsole console(terminal, STDIN_FILENO, STDOUT_FILENO);
  PosixSerial serial;
  SystemClock clock;
  PosixShell shell(console);
  PosixFiles files;
  PollIdleWait idle(serial, console);
  Platform io{serial, console, clock, shell, files, idle};

  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  int status = 1;
  console.set_raw(true);
  try {
    status = dravel::run_program(io, args,
                                 [](const char* name) -> const char* { return std::getenv(name); });
  } catch (const std::exception& e) {
    terminal.restore();
    std::fprintf(stderr, "dravel: %s\n", e.what());
  }
  serial.close();
  terminal.restore();
  return status;
}
