#pragma once
// When an idle wait has to return although nothing arrived. Times are milliseconds on the
// program's clock (platform::Clock::milliseconds()).
#include <cstdint>
#include <limits>

namespace dravel {

class Core;

inline constexpr std::int64_t NO_DEADLINE = std::numeric_limits<std::int64_t>::max();

// The first moment at which "more than `limit` whole seconds since `start_second`" holds,
// the form every time limit here takes.
constexpr std::int64_t seconds_rule_deadline_ms(std::int64_t start_second, std::int64_t limit) {
  return (start_second + limit + 1) * 1000;
}

// The nearest of `wait_deadline_ms` (the calling wait's own limit, or NO_DEADLINE), the
// run's time limit, the console's pending key decision and every registered deadline source.
std::int64_t nearest_deadline_ms(Core& core, std::int64_t wait_deadline_ms);

// How long a blocking command may run: what is left of the run's time limit (a batch run's
// --timeout), else platform::WAIT_FOREVER.
int run_time_left_ms(Core& core);

// The idle wait's timeout for that deadline: platform::WAIT_FOREVER when there is none.
int idle_timeout_ms(Core& core, std::int64_t wait_deadline_ms);

}  // namespace dravel
