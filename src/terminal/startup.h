#pragma once
#include <string>
#include <vector>

#include "core/exits.h"
#include "platform/platform.h"
#include "terminal/options.h"

namespace dravel {

struct State;

// Environment lookup, a seam so tests need not touch the process environment.
using GetEnv = const char* (*)(const char* name);

// The whole program on the command line `parsed` read: start-up, the terminal loop, shutdown.
// Returns the exit status. (main reads the options before it sets the console up.)
int run_program(platform::Platform& io, const OptionsResult& parsed, GetEnv getenv_fn);
// Same, on a State the caller made (tests inspect it afterwards), reading `args` (without the
// program name) first.
int run_program(State& s, const std::vector<std::string>& args, GetEnv getenv_fn);

}  // namespace dravel
