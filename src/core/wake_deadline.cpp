#include "core/wake_deadline.h"

#include <algorithm>

#include "core/core.h"

namespace dravel {

// An idle dravel sleeps until input comes, unless something pending is due at a known time.
// What is time-bound: the calling wait's own limit (the prompt's 3 s, an S-record
// acknowledgement's 4 s), the console's decision on a key sequence already begun (a lone
// ESC), the run's time limit (--timeout), and whatever the layers above registered as a
// deadline source (a script's sleep or expect, a lost device's next reopen). A new time
// limit is a deadline source; no wait learns of it otherwise.
std::int64_t nearest_deadline_ms(Core& core, std::int64_t wait_deadline_ms) {
  std::int64_t deadline = core.hooks.nearest(wait_deadline_ms);
  const RunLimit& limit = core.run_limit;
  if (limit.on())
    deadline = std::min(deadline, seconds_rule_deadline_ms(limit.start_second, limit.seconds));
  if (int key_ms = core.io.console.key_decision_ms(); key_ms >= 0)
    deadline = std::min(deadline, core.io.clock.milliseconds() + key_ms);
  return deadline;
}

namespace {

int timeout_until(Core& core, std::int64_t deadline) {
  if (deadline == NO_DEADLINE) return platform::WAIT_FOREVER;
  const std::int64_t left = deadline - core.io.clock.milliseconds();
  return static_cast<int>(std::clamp<std::int64_t>(left, 0, std::numeric_limits<int>::max()));
}

}  // namespace

int run_time_left_ms(Core& core) {
  const RunLimit& limit = core.run_limit;
  if (!limit.on()) return platform::WAIT_FOREVER;
  return timeout_until(core, seconds_rule_deadline_ms(limit.start_second, limit.seconds));
}

int idle_timeout_ms(Core& core, std::int64_t wait_deadline_ms) {
  return timeout_until(core, nearest_deadline_ms(core, wait_deadline_ms));
}

}  // namespace dravel
