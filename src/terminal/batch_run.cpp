#include "terminal/batch_run.h"

#include "core/run_outcome.h"
#include "terminal/auto_script.h"
#include "terminal/command_table.h"
#include "terminal/state.h"

namespace dravel {

void batch_begin(State& s) {
  // A batch run has no keyboard and may have a time limit, both counted from here.
  s.core.no_keyboard = true;
  s.core.run_limit = RunLimit{s.options.timeout_seconds, s.io.clock.seconds()};
}

bool next_start_script(State& s) {
  BatchProgress& p = s.batch_progress;
  const std::vector<std::string>& scripts = p.scripts;
  const RunOutcome& r = s.outcome;
  if (r.expect_failed || r.command_failed || r.link_lost) return false;
  while (p.next_script < scripts.size()) {
    std::string name = scripts[p.next_script++];
    if (report_result(s, auto_start(s, name.data())) == Outcome::Failed) {
      s.outcome.command_failed = true;
      return false;
    }
    if (s.autos.active()) return true;
  }
  return false;
}

}  // namespace dravel
