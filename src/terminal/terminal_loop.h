#pragma once

namespace dravel {

struct State;

void terminal_loop(State& s);
// One pass; false when the loop must return.
bool terminal_pass(State& s);
// Blocks briefly for input; the loop and every wait call it instead of spinning. Returns at
// once while bytes a handshake read ahead are waiting, unless only keys are awaited.
void idle_wait(State& s, bool keys_only = false);

inline constexpr int IDLE_WAIT_MS = 100;

}  // namespace dravel
