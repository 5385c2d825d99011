#pragma once
#include <cstdint>

#include "terminal/wake_deadline.h"

namespace dravel {

struct State;

void terminal_loop(State& s);
// One pass; false when the loop must return.
bool terminal_pass(State& s);
// Blocks for input; the loop and every wait call it instead of spinning. Returns at once
// while bytes a handshake read ahead are waiting, unless only keys are awaited. Returns by
// `deadline_ms` (the caller's own time limit) or anything else due (nearest_deadline_ms);
// with nothing due it waits for input alone.
void idle_wait(State& s, bool keys_only = false, std::int64_t deadline_ms = NO_DEADLINE);

}  // namespace dravel
