#pragma once
// The program's exits from inside a wait or a transfer: each runs the registered exit actions
// (the port closed, the history saved) before ending (core/program_exit.h says how an end
// unwinds).

namespace dravel {

class Core;

// Runs the exit actions and ends the program with `status`.
[[noreturn]] void end_run(Core& core, int status);
// Ends the program when abort_flag is set (after one keyboard poll when `poll_first`).
void terminate_on_abort(Core& core, bool poll_first);

}  // namespace dravel
