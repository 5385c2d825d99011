#pragma once
// Blocks until a key or a control event arrives, the serial port (a COM port or a socket)
// has bytes (or, asked for, takes more output), or time is up.
#include <windows.h>

#include "platform/idle_wait.h"

namespace dravel::platform {

class WinConsole;
class WinPort;

class WinIdleWait : public IdleWait {
 public:
  WinIdleWait(WinPort& serial, WinConsole& console, HANDLE wake)
      : serial_(serial), console_(console), wake_(wake) {}
  void wait(int timeout_ms, bool output_room) override;

 private:
  bool keys_arrived();
  void wait_on(int timeout_ms, bool output_room);

  WinPort& serial_;
  WinConsole& console_;
  HANDLE wake_;
  unsigned long slice_ms_ = 1;  // how long the port is left alone; grows while the line is quiet
};

}  // namespace dravel::platform
