#include "core/waits.h"

#include "base/signal_flag.h"
#include "core/console_out.h"
#include "core/exits.h"
#include "core/run_outcome.h"
// The port and its tending (a lost device is reopened while waiting) are the state's.
#include "core/state.h"

namespace dravel {

void batch_check_deadline(State& s) {
  const Options& o = s.options;
  if (!o.batch || o.timeout_seconds <= 0) return;
  if (s.io.clock.seconds() - s.batch_progress.run_start <= o.timeout_seconds) return;
  console_printf(s.console(), "\ndravel: --timeout: the run took longer than %d s\n",
                 o.timeout_seconds);
  exit_saving_history(s, STATUS_TIMED_OUT);
}

void end_run_if_asked(State& s) {
  if (int sig = pending_signal(); sig != 0) exit_saving_history(s, 128 + sig);
  batch_check_deadline(s);
}

void idle_wait(State& s, bool keys_only, std::int64_t deadline_ms) {
  end_run_if_asked(s);
  // Nobody reads the serial port while only a key is awaited: returning would spin.
  if (!keys_only && s.port.has_unread()) return;
  link_tend(s);
  s.io.idle.wait(idle_timeout_ms(s, deadline_ms));
  end_run_if_asked(s);
}

}  // namespace dravel
