#pragma once
#include <string>
#include <vector>

#include "core/exits.h"
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

}  // namespace dravel
