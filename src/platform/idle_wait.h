#pragma once

namespace dravel::platform {

// Blocks until the serial device or the keyboard has input, or `timeout_ms` has passed
// (WAIT_FOREVER: no time limit); with `output_room` also until the device takes more output,
// so a write the driver holds keeps the keys live. Every poll loop calls it when a pass found
// nothing to do, so nothing spins.
inline constexpr int WAIT_FOREVER = -1;

class IdleWait {
 public:
  virtual ~IdleWait() = default;
  virtual void wait(int timeout_ms, bool output_room) = 0;
};

}  // namespace dravel::platform
