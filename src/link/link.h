#pragma once
// The line to the board as the layers above see it: the port, the transmit queue and whether
// the board's prompt has come, over core/ (the console, the clock, the waits).
#include "core/core.h"
#include "link/line_control.h"
#include "link/serial_port.h"
#include "link/tx_queue.h"

namespace dravel {

class Link {
 public:
  // Registers with core/ what its waits and exits must do for the line: tend a lost device,
  // wake for its next reopen and for a timed line to go back, return at once for bytes read
  // ahead, put timed lines back and close the port at the end.
  Link(Core& core, platform::SerialDevice& device);
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  Core& core;
  SerialPort port;
  TxQueue tx;
  // The board's prompt came in the terminal's last pass. Anything that talks to the monitor
  // itself (a transfer) clears it, so a script waits for the prompt that follows.
  bool prompt_seen = false;
  // BREAK and the modem lines: their state at open, and those timed to go back.
  LineControls lines;

  platform::Console& console() { return core.console(); }
  platform::Clock& clock() { return core.io.clock; }
};

}  // namespace dravel
