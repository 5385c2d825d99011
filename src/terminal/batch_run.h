#pragma once
// --batch: the scripts named on the command line run with no keyboard, one after another,
// and the program ends when none is left, with a status a CI job can read.

namespace dravel {

struct State;

// Marks the run's start, for --timeout.
void batch_begin(State& s);
// With no script running, starts the next one named; false when the run is over.
bool batch_next_script(State& s);

}  // namespace dravel
