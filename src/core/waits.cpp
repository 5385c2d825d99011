#include "core/waits.h"

#include "base/signal_flag.h"
#include "core/console_out.h"
#include "core/core.h"
#include "core/exits.h"
#include "core/run_outcome.h"

namespace dravel {

void check_run_limit(Core& core) {
  const RunLimit& limit = core.run_limit;
  if (!limit.on()) return;
  if (core.io.clock.seconds() - limit.start_second <= limit.seconds) return;
  console_printf(core.console(), "\ndravel: --timeout: the run took longer than %d s\n",
                 limit.seconds);
  end_run(core, STATUS_TIMED_OUT);
}

void end_run_if_asked(Core& core) {
  if (int sig = pending_signal(); sig != 0) end_run(core, 128 + sig);
  check_run_limit(core);
}

namespace {

void wait_on_seam(Core& core, bool keys_only, std::int64_t deadline_ms, bool output_room) {
  end_run_if_asked(core);
  // Nobody reads the held input while only a key is awaited: returning would spin.
  if (!keys_only && core.hooks.input_held()) return;
  // Its time limit comes from the state as the tenders leave it; a caller whose condition a
  // tender met (a pulse over just now) must look again, not sleep to the next deadline.
  if (core.hooks.tend()) return;
  core.io.idle.wait(idle_timeout_ms(core, deadline_ms), output_room);
  end_run_if_asked(core);
}

}  // namespace

void idle_wait(Core& core, bool keys_only, std::int64_t deadline_ms) {
  wait_on_seam(core, keys_only, deadline_ms, false);
}

void idle_wait_for_room(Core& core, bool keys_only, std::int64_t deadline_ms) {
  wait_on_seam(core, keys_only, deadline_ms, true);
}

}  // namespace dravel
