#include "link/link.h"

#include "base/signal_flag.h"
#include "core/wake_deadline.h"
#include "link/link_loss.h"

namespace dravel {

Link::Link(Core& c, platform::SerialDevice& device) : core(c), port(device, c) {
  Hooks& hooks = core.hooks;
  hooks.tenders.push_back([this] { link_tend(*this); });
  // A lost device is tried again each new clock second.
  hooks.deadline_sources.push_back([this] {
    return port.lost() && port.loss_reported ? (port.last_reopen_second + 1) * 1000 : NO_DEADLINE;
  });
  hooks.held_input.push_back([this] { return port.has_unread(); });
  // A run ended by ESC or a signal leaves unsent what the line still held.
  hooks.exit_actions.push_back([this] { port.close(core.abort_flag || pending_signal() != 0); });
}

}  // namespace dravel
