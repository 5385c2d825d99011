#include "core/waits.h"

#include "core/exits.h"
#include "core/signal_flag.h"
// The port and its tending (a lost device is reopened while waiting) are the state's.
#include "core/state.h"

namespace dravel {

void idle_wait(State& s, bool keys_only) {
  if (int sig = pending_signal(); sig != 0) exit_saving_history(s, 128 + sig);
  // Nobody reads the serial port while only a key is awaited: returning would spin.
  if (!keys_only && s.port.has_unread()) return;
  link_tend(s);
  s.io.idle.wait(IDLE_WAIT_MS);
  if (int sig = pending_signal(); sig != 0) exit_saving_history(s, 128 + sig);
}

}  // namespace dravel
