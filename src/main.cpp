// dravel on a POSIX system: the real terminal, serial line, clock and shell.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "platform/colourless_console.h"
#include "platform/platform.h"
#include "platform/posix/poll_idle_wait.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/posix_serial.h"
#include "platform/posix/posix_shell.h"
#include "platform/posix/signal_handlers.h"
#include "platform/posix/system_clock.h"
#include "platform/posix/terminal_mode.h"
#include "platform/posix/tty_console.h"
#include "terminal/options.h"
#include "terminal/startup.h"

int main(int argc, char** argv) {
  using namespace dravel::platform;
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  // A batch run never reads standard input nor changes its mode: it may be a file, /dev/null,
  // closed, or the terminal of whoever started the job.
  const dravel::OptionsResult options = dravel::parse_options(args);
  const bool batch = options.options.batch;
  const int keyboard_fd = batch ? -1 : STDIN_FILENO;
  TerminalMode terminal(keyboard_fd);  // restores the terminal when main returns
  install_signal_handlers();

  TtyConsole tty_console(terminal, keyboard_fd, STDOUT_FILENO);
  ColourlessConsole colourless(tty_console);
  Console& console = batch && ::isatty(STDOUT_FILENO) != 1 ? static_cast<Console&>(colourless)
                                                           : static_cast<Console&>(tty_console);
  PosixSerial serial;
  SystemClock clock;
  PosixShell shell(console, batch);
  PosixFiles files;
  PollIdleWait idle(serial, tty_console);
  Platform io{serial, console, clock, shell, files, idle};

  int status = 1;
  console.set_raw(true);
  try {
    status = dravel::run_program(io, options,
                                 [](const char* name) -> const char* { return std::getenv(name); });
  } catch (const std::exception& e) {
    terminal.restore();
    std::fprintf(stderr, "dravel: %s\n", e.what());
  }
  serial.close();
  terminal.restore();
  return status;
}
