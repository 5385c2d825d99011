#pragma once
// Ctrl-C, Ctrl-Break and closing the console window end the program through the signal flag,
// so it closes the port, saves the history and restores the console as on any other end.
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
};

}  // namespace dravel::platform
