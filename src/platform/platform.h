#pragma once
// The seams through which the platform-free code sees the world.
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/idle_wait.h"
#include "platform/serial_device.h"
#include "platform/shell.h"

namespace dravel::platform {

struct Platform {
  SerialDevice& serial;
  Console& console;
  Clock& clock;
  Shell& shell;
  Files& files;
  IdleWait& idle;
};

// Which conventions the platform's users expect (where the board file lives, HOME's name).
#if defined(_WIN32)
inline constexpr bool WINDOWS = true;
#else
inline constexpr bool WINDOWS = false;
#endif

// Device opened for an I/O address when neither -d nor DRAVELPORT names one.
std::string default_device_name(unsigned io_address);

}  // namespace dravel::platform
