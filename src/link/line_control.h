#pragma once
// BREAK and the modem lines as the user sets them: at once, or for a time after which the
// line goes back. A timed line is a deadline the loop keeps (a tender puts it back, a
// deadline source wakes the idle wait for it), never a sleep: the screen runs on meanwhile.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/serial_device.h"

namespace dravel {

class Link;

enum class ModemLine : std::uint8_t { Dtr, Rts };

struct LineControls {
  // What DTR and RTS were last set to (--dtr, --rts, local dtr/rts), set again at every open
  // so a device that comes back is as it was; none: as the device opens it (on, usually).
  std::optional<bool> modem[2];
  struct Restore {
    platform::Control control;
    std::int64_t due_ms;  // clock ms
  };
  std::vector<Restore> pending;  // at most one a line
};

platform::ControlResult set_modem_line(Link& link, ModemLine line, bool on);
// The line the other way from how it was last set (off when never set) for `ms`, then back.
platform::ControlResult pulse_modem_line(Link& link, ModemLine line, int ms);
// BREAK on now and off after `ms`.
platform::ControlResult send_break(Link& link, int ms);

// True while a line waits to go back (a script's next line waits for it).
bool line_pulsing(const Link& link);
// When the next line goes back, or NO_DEADLINE.
std::int64_t line_deadline(const Link& link);
// Puts back each line whose time has come (every line, when `all`); says a refusal. True
// when it put one back.
bool line_controls_tend(Link& link, bool all = false);
// After an open: DTR and RTS as recorded. False when the device refused (said on the console).
bool line_controls_at_open(Link& link);

}  // namespace dravel
