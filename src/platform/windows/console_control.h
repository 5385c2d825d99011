#pragma once
// Ctrl-Break and closing the console window end the program through the signal flag, so it
// closes the port, saves the history and restores the console as on any other end. Ctrl-C is
// a key for the target (the monitor's break), also where the console sends it as an event.
#include <windows.h>

namespace dravel::platform {

class ConsoleControl {
 public:
  ConsoleControl();
  ConsoleControl(const ConsoleControl&) = delete;
  ConsoleControl& operator=(const ConsoleControl&) = delete;
  // Lets a waiting close event go: the program has saved what it must.
  ~ConsoleControl();

  // Set when an event asked the program to end; the idle wait wakes on it.
  HANDLE wake_event() const;
  // While a shell command runs, Ctrl-C and Ctrl-Break belong to it.
  void set_shell_running(bool running);
  // Ctrl-C presses that came as control events since the last call; they are keys for the target.
  int take_ctrl_c_keys();
  // With no keyboard (a batch run) Ctrl-C ends the program as Ctrl-Break does.
  void set_ctrl_c_ends(bool ends);
};

}  // namespace dravel::platform
