#include "link/link_loss.h"

#include "core/console_out.h"
#include "core/state.h"
#include "link/serial_port.h"

namespace dravel {

namespace {

// True when this call said it.
bool report_loss(State& s) {
  SerialPort& port = s.port;
  if (port.loss_reported) return false;
  port.loss_reported = true;
  port.last_reopen_second = s.io.clock.seconds();
  console_printf(s.console(), "\nserial device lost: %s\n", port.lost_reason().c_str());
  return true;
}

}  // namespace

void link_tend(State& s) {
  SerialPort& port = s.port;
  if (!port.lost() || report_loss(s)) return;
  const std::int64_t now = s.io.clock.seconds();
  if (now == port.last_reopen_second) return;
  port.last_reopen_second = now;
  platform::OpenResult r = port.reopen();
  if (!r.ok) return;
  // What was typed or queued while the device was gone is not sent late.
  s.tx.reset();
  console_printf(s.console(), "\nserial device back: %s\n", port.name().c_str());
  if (!r.warning.empty()) console_printf(s.console(), "warning: %s\n", r.warning.c_str());
}

int link_read(State& s, std::uint8_t* buf, int max) {
  int n = serial_read(s.port, buf, max);
  // Not reopened here: what the command sent so far went nowhere, so it fails either way.
  if (n == 0 && s.port.lost()) {
    report_loss(s);
    throw LinkLost{};
  }
  return n;
}

void link_check(State& s) {
  if (!s.port.lost()) return;
  report_loss(s);
  throw LinkLost{};
}

}  // namespace dravel
