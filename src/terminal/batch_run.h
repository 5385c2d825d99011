#pragma once
// --batch: the scripts named on the command line run with no keyboard, one after another,
// and the program ends when none is left, with a status a CI job can read.
#include <string>
#include <vector>

namespace dravel {

struct State;

// True when `args` (without the program name) ask for a batch run; main looks before the
// console is set up, so that standard input is never touched.
bool batch_requested(const std::vector<std::string>& args);
// Takes --batch, --timeout and the script names from s.options.args. On a usage error says
// so and returns false.
bool scan_batch_options(State& s);
// With no script running, starts the next one named; false when the run is over.
bool batch_next_script(State& s);

}  // namespace dravel
