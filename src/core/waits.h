#pragma once
// How every wait blocks: the loop and each wait call idle_wait instead of spinning.

#include <cstdint>

#include "core/wake_deadline.h"

namespace dravel {

class Core;

// Blocks for input; the loop and every wait call it instead of spinning. Returns at once
// while input is held above the seam (Hooks::held_input), unless only keys are awaited.
// Runs the registered tenders first, and returns at once when one of them acted. Returns by
// `deadline_ms` (the caller's own time limit) or anything else due (nearest_deadline_ms); with
// nothing due it waits for input alone. A pending signal or the run's time limit ends the program.
void idle_wait(Core& core, bool keys_only = false, std::int64_t deadline_ms = NO_DEADLINE);

// The same for a caller with output the line has no room for: it returns also when the line
// takes more (or at `deadline_ms`). With `keys_only` held input does not end it: a write
// reads nothing, so returning for it would spin.
void idle_wait_for_room(Core& core, bool keys_only, std::int64_t deadline_ms = NO_DEADLINE);

// Ends the program with status 124 once the run's time limit (--timeout) has passed.
void check_run_limit(Core& core);

// Ends the program when a signal asked for it (128 + its number) or the run's time limit
// has passed: what every wait does before and after it blocks.
void end_run_if_asked(Core& core);

}  // namespace dravel
