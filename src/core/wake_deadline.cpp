#include "core/wake_deadline.h"

#include <algorithm>

#include "core/state.h"

namespace dravel {

// An idle dravel sleeps until input comes, unless something pending is due at a known time.
// What is time-bound, and so listed here (a new time limit is added here, nowhere else):
//  - the calling wait's own limit (the prompt's 3 s, an S-record acknowledgement's 4 s);
//  - a running script's sleep, which ends once more than its seconds have passed;
//  - a lost device, tried again each new clock second (link_tend, before every idle wait);
//  - the console's decision on a key sequence already begun (a lone ESC);
//  - a script's expect, which fails once more than its seconds have passed;
//  - a batch run's --timeout, counted the same way from the start of the run.
std::int64_t nearest_deadline_ms(State& s, std::int64_t wait_deadline_ms) {
  std::int64_t deadline = wait_deadline_ms;
  const AutoStack& a = s.autos;
  if (a.sleep_seconds > 0)
    deadline = std::min(deadline, seconds_rule_deadline_ms(a.sleep_start, a.sleep_seconds));
  if (s.port.lost() && s.port.loss_reported)
    deadline = std::min(deadline, (s.port.last_reopen_second + 1) * 1000);
  if (a.expect.waiting())
    deadline = std::min(deadline, seconds_rule_deadline_ms(a.expect.start, a.expect.seconds));
  const Options& o = s.options;
  if (o.batch && o.timeout_seconds > 0)
    deadline =
        std::min(deadline, seconds_rule_deadline_ms(s.batch_progress.run_start, o.timeout_seconds));
  if (int key_ms = s.io.console.key_decision_ms(); key_ms >= 0)
    deadline = std::min(deadline, s.io.clock.milliseconds() + key_ms);
  return deadline;
}

namespace {

int timeout_until(State& s, std::int64_t deadline) {
  if (deadline == NO_DEADLINE) return platform::WAIT_FOREVER;
  const std::int64_t left = deadline - s.io.clock.milliseconds();
  return static_cast<int>(std::clamp<std::int64_t>(left, 0, std::numeric_limits<int>::max()));
}

}  // namespace

int batch_time_left_ms(State& s) {
  const Options& o = s.options;
  if (!o.batch || o.timeout_seconds <= 0) return platform::WAIT_FOREVER;
  return timeout_until(s, seconds_rule_deadline_ms(s.batch_progress.run_start, o.timeout_seconds));
}

int idle_timeout_ms(State& s, std::int64_t wait_deadline_ms) {
  return timeout_until(s, nearest_deadline_ms(s, wait_deadline_ms));
}

}  // namespace dravel
