#pragma once
#include "core/waits.h"

namespace dravel {

struct State;

void terminal_loop(State& s);
// One pass; false when the loop must return.
bool terminal_pass(State& s);

}  // namespace dravel
