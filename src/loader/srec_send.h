#pragma once

namespace dravel {

struct State;

int srec_send(State& s, const char* name, int verbose);

}  // namespace dravel
