// dravel in a Windows console.
#include <windows.h>

#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "platform/colourless_console.h"
#include "platform/platform.h"
#include "platform/windows/console_control.h"
#include "platform/windows/win_clock.h"
#include "platform/windows/win_console.h"
#include "platform/windows/win_files.h"
#include "platform/windows/win_idle_wait.h"
#include "platform/windows/win_port.h"
#include "platform/windows/win_shell.h"
#include "terminal/options.h"
#include "terminal/startup.h"

namespace {

const char* environment(const char* name) {
  return std::getenv(name);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace dravel::platform;
  // Made first and so gone last: a close event waits until the console below is restored.
  ConsoleControl control;
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  // A batch run never reads standard input: it may be a file, NUL, closed, or someone's console.
  const dravel::OptionsResult options = dravel::parse_options(args);
  const bool batch = options.options.batch;
  control.set_ctrl_c_ends(batch);
  WinConsole win_console(control, !batch);
  ColourlessConsole colourless(win_console);
  Console& console = batch && !win_console.output_is_console() ? static_cast<Console&>(colourless)
                                                               : static_cast<Console&>(win_console);
  WinPort serial;
  WinClock clock;
  WinFiles files;
  WinShell shell(win_console, control, batch);
  WinIdleWait idle(serial, win_console, control.wake_event());
  Platform io{serial, console, clock, shell, files, idle};

  console.set_raw(true);
  int status = 1;
  try {
    status = dravel::run_program(io, options, environment);
  } catch (const std::exception& e) {
    console.write("\ndravel: internal error: ");
    console.write(e.what());
    console.write("\n");
  } catch (...) {
    console.write("\ndravel: internal error\n");
  }
  serial.close();
  return status;
}
