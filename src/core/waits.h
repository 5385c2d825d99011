#pragma once
// How every wait blocks: the loop and each wait call idle_wait instead of spinning.

#include <cstdint>

#include "core/wake_deadline.h"

namespace dravel {

struct State;

// Blocks for input; the loop and every wait call it instead of spinning. Returns at once
// while bytes a handshake read ahead are waiting, unless only keys are awaited. Returns by
// `deadline_ms` (the caller's own time limit) or anything else due (nearest_deadline_ms);
// with nothing due it waits for input alone. A pending signal ends the program, saving the
// history.
void idle_wait(State& s, bool keys_only = false, std::int64_t deadline_ms = NO_DEADLINE);

// Ends the program with status 124 once a batch run's --timeout has passed.
void batch_check_deadline(State& s);

// Ends the program, saving the history, when a signal asked for it (128 + its number) or a
// batch run's --timeout has passed: what every wait does before and after it blocks.
void end_run_if_asked(State& s);

}  // namespace dravel
