#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

namespace dravel {

struct State;

// Environment lookup, a seam so tests need not touch the process environment.
using GetEnv = const char* (*)(const char* name);

// The whole program (`args` without the program name): start-up, the terminal loop, shutdown.
// Returns the exit status.
int run_program(platform::Platform& io, const std::vector<std::string>& args, GetEnv getenv_fn);
// Same, on a State the caller made (tests inspect it afterwards).
int run_program(State& s, const std::vector<std::string>& args, GetEnv getenv_fn);

// Closes the port, saves the history and ends the program with `status`.
[[noreturn]] void exit_saving_history(State& s, int status);

// Ends the program when abort_flag is set (after one keyboard poll when `poll_first`).
void terminate_on_abort(State& s, bool poll_first);

}  // namespace dravel
