#include "link/link.h"

#include "core/wake_deadline.h"
#include "link/link_loss.h"

namespace dravel {

Link::Link(Core& c, platform::SerialDevice& device) : core(c), port(device, c) {
  Hooks& hooks = core.hooks;
  hooks.tenders.push_back([this] { return link_tend(*this); });
  hooks.tenders.push_back([this] { return line_controls_tend(*this); });
  // A lost device is tried again each new clock second.
  hooks.deadline_sources.push_back([this] {
    return port.lost() && port.loss_reported ? (port.last_reopen_second + 1) * 1000 : NO_DEADLINE;
  });
  hooks.deadline_sources.push_back([this] { return line_deadline(*this); });
  hooks.held_input.push_back([this] { return port.has_unread(); });
  // A BREAK left on would hold the line (and a server's line) after we are gone.
  hooks.exit_actions.push_back([this] { line_controls_tend(*this, true); });
  // A write ESC cut is dropped rather than drained at close; anything else sent (the break
  // ESC sends at the terminal) still reaches the board.
  hooks.exit_actions.push_back([this] { port.close(port.write_cut()); });
}

}  // namespace dravel
