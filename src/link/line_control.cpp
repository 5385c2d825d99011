#include "link/line_control.h"

#include <algorithm>

#include "core/console_out.h"
#include "core/wake_deadline.h"
#include "link/link.h"

namespace dravel {

namespace {

using platform::Control;
using platform::ControlResult;

// Which line a control moves: BREAK, DTR or RTS.
int line_of(Control c) {
  switch (c) {
    case Control::BreakOn:
    case Control::BreakOff:
      return 0;
    case Control::DtrOn:
    case Control::DtrOff:
      return 1;
    case Control::RtsOn:
    case Control::RtsOff:
      break;
  }
  return 2;
}

Control modem_control(ModemLine line, bool on) {
  if (line == ModemLine::Dtr) return on ? Control::DtrOn : Control::DtrOff;
  return on ? Control::RtsOn : Control::RtsOff;
}

// Sets `c` at once; a later setting of the same line replaces one waiting to go back.
ControlResult set_now(Link& link, Control c) {
  std::vector<LineControls::Restore>& p = link.lines.pending;
  p.erase(std::remove_if(p.begin(), p.end(),
                         [c](const auto& r) { return line_of(r.control) == line_of(c); }),
          p.end());
  return link.port.device().set_control(c);
}

ControlResult timed(Link& link, Control now, Control back, int ms) {
  ControlResult r = set_now(link, now);
  if (r.ok) link.lines.pending.push_back({back, link.clock().milliseconds() + ms});
  return r;
}

}  // namespace

ControlResult set_modem_line(Link& link, ModemLine line, bool on) {
  ControlResult r = set_now(link, modem_control(line, on));
  if (r.ok) link.lines.modem[static_cast<int>(line)] = on;
  return r;
}

ControlResult pulse_modem_line(Link& link, ModemLine line, int ms) {
  const bool was = link.lines.modem[static_cast<int>(line)].value_or(true);
  return timed(link, modem_control(line, !was), modem_control(line, was), ms);
}

ControlResult send_break(Link& link, int ms) {
  return timed(link, Control::BreakOn, Control::BreakOff, ms);
}

bool line_pulsing(const Link& link) {
  return !link.lines.pending.empty();
}

std::int64_t line_deadline(const Link& link) {
  std::int64_t due = NO_DEADLINE;
  for (const LineControls::Restore& r : link.lines.pending) due = std::min(due, r.due_ms);
  return due;
}

bool line_controls_tend(Link& link, bool all) {
  std::vector<LineControls::Restore>& p = link.lines.pending;
  if (p.empty()) return false;
  const std::size_t before = p.size();
  const std::int64_t now = link.clock().milliseconds();
  for (std::size_t i = 0; i < p.size();) {
    if (!all && p[i].due_ms > now) {
      ++i;
      continue;
    }
    const Control c = p[i].control;
    p.erase(p.begin() + static_cast<long>(i));
    // A device gone meanwhile is set as recorded when it opens again.
    if (!link.port.is_open()) continue;
    ControlResult r = link.port.device().set_control(c);
    if (!r.ok) console_printf(link.console(), "\n%s\n", r.error.c_str());
  }
  return p.size() != before;
}

bool line_controls_at_open(Link& link) {
  bool ok = true;
  for (ModemLine line : {ModemLine::Dtr, ModemLine::Rts}) {
    const std::optional<bool> on = link.lines.modem[static_cast<int>(line)];
    if (!on) continue;
    ControlResult r = link.port.device().set_control(modem_control(line, *on));
    if (!r.ok) console_printf(link.console(), "%s\n", r.error.c_str());
    ok = ok && r.ok;
  }
  return ok;
}

}  // namespace dravel
