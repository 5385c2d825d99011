#pragma once
// --batch: the scripts named on the command line run with no keyboard, one after another,
// and the program ends when none is left, with a status a CI job can read.

namespace dravel {

struct State;

// Marks the run's start, for --timeout.
void batch_begin(State& s);
// With no script running, starts the next of start-up's scripts (BatchProgress); false when
// none is left or one failed (a batch run is then over).
bool next_start_script(State& s);

}  // namespace dravel
