#pragma once
#include "core/command_result.h"

namespace dravel {

struct State;
class Link;

// Start-up's three watchers, in their order: the prompt and the monitor's two load requests.
void register_program_watchers(State& s);
// The prompt watcher's callback: the board's prompt has come.
CommandResult on_prompt(Link& link);

}  // namespace dravel
