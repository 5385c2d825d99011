#pragma once
// The program's exits from inside a wait or a transfer: each closes the port and saves the
// history before ending (core/program_exit.h says how an end unwinds).

namespace dravel {

struct State;

void close_saving_history(State& s);
// Closes the port, saves the history and ends the program with `status`.
[[noreturn]] void exit_saving_history(State& s, int status);
// Ends the program when abort_flag is set (after one keyboard poll when `poll_first`).
void terminate_on_abort(State& s, bool poll_first);

}  // namespace dravel
