#pragma once
// How every wait blocks: the loop and each wait call idle_wait instead of spinning.

namespace dravel {

struct State;

// Blocks briefly for input. Returns at once while bytes a handshake read ahead are waiting,
// unless only keys are awaited. A pending signal ends the program, saving the history.
void idle_wait(State& s, bool keys_only = false);

// Ends the program with status 124 once a batch run's --timeout has passed.
void batch_check_deadline(State& s);

inline constexpr int IDLE_WAIT_MS = 100;

}  // namespace dravel
