#pragma once
#include "platform/idle_wait.h"
#include "platform/posix/tty_console.h"
#include "platform/posix/tty_serial.h"

namespace dravel::platform {

// Sleeps in poll() until the serial line or the keyboard has input, or the timeout.
class PollIdleWait : public IdleWait {
 public:
  PollIdleWait(TtySerial& serial, TtyConsole& console) : serial_(serial), console_(console) {}
  void wait(int timeout_ms) override;

 private:
  TtySerial& serial_;
  TtyConsole& console_;
};

}  // namespace dravel::platform
