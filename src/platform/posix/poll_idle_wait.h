#pragma once
#include <cstdint>

#include "platform/idle_wait.h"
#include "platform/posix/pollable_serial.h"
#include "platform/posix/tty_console.h"
#include "platform/posix/tty_serial.h"  // the usual device

namespace dravel::platform {

// Sleeps in poll() until the serial device (a tty or a socket) or the keyboard brings new input, or
// the timeout. Input is taken in as it wakes the wait, so a caller that leaves it unread (a prompt
// while the board talks, a wait on the board while keys are typed) sleeps on instead of being woken
// again at once.
class PollIdleWait : public IdleWait {
 public:
  PollIdleWait(PollableSerial& serial, TtyConsole& console) : serial_(serial), console_(console) {}
  void wait(int timeout_ms, bool output_room) override;

 private:
  PollableSerial& serial_;
  TtyConsole& console_;
  std::uint64_t keys_seen_ = 0;
};

}  // namespace dravel::platform
