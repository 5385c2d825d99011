#include "link/link_loss.h"

#include <vector>

#include "core/console_out.h"
#include "link/line_control.h"
#include "link/link.h"
#include "link/monitor_bytes.h"

namespace dravel {

namespace {

// The most the board's monitor takes in one binary frame: a packet and its checksum.
constexpr std::size_t LONGEST_FRAME = 2049;

// True when this call said it.
bool report_loss(Link& link) {
  SerialPort& port = link.port;
  if (port.loss_reported) return false;
  port.loss_reported = true;
  port.last_reopen_second = link.clock().seconds();
  console_printf(link.console(), "\nserial device lost: %s\n", port.lost_reason().c_str());
  return true;
}

void command_cut(Link& link) {
  report_loss(link);
  link.port.command_cut = true;
  throw LinkLost{};
}

}  // namespace

// NULs complete any frame the monitor is part way through (and are ignored between frames and
// at the prompt); the Ctrl-C then stops the transfer or the half-sent line.
void bring_monitor_back(SerialPort& port) {
  std::vector<std::uint8_t> bytes(LONGEST_FRAME + 1, 0);
  bytes.back() = BREAK;
  port.write(bytes.data(), bytes.size());
}

bool link_tend(Link& link) {
  SerialPort& port = link.port;
  if (!port.lost()) return false;
  if (report_loss(link)) return true;
  const std::int64_t now = link.clock().seconds();
  if (now == port.last_reopen_second) return false;
  port.last_reopen_second = now;
  platform::OpenResult r = port.reopen();
  if (!r.ok) return false;
  // A batch run ends here on a refused rate, before the monitor is brought back.
  if (r.rate_refused && link.core.no_keyboard) say_open_warning(link, r);
  // What was typed or queued while the device was gone is not sent late.
  link.tx.reset();
  port.clear_echoed_line(r);
  if (port.command_cut) bring_monitor_back(port);
  port.command_cut = false;
  console_printf(link.console(), "\nserial device back: %s\n", port.name().c_str());
  say_open_warning(link, r);
  line_controls_at_open(link);
  return true;
}

int link_read(Link& link, std::uint8_t* buf, int max) {
  int n = serial_read(link.port, buf, max);
  // Not reopened here: what the command sent so far went nowhere, so it fails either way.
  if (n == 0 && link.port.lost()) command_cut(link);
  return n;
}

void link_check(Link& link) {
  if (link.port.lost()) command_cut(link);
}

}  // namespace dravel
