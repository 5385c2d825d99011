#pragma once

namespace dravel {

struct State;

// Start-up's three watchers, in their order: the prompt and the monitor's two load requests.
void register_program_watchers(State& s);

}  // namespace dravel
