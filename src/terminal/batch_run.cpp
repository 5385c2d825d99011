#include "terminal/batch_run.h"

#include "commands/auto_script.h"
#include "core/run_outcome.h"
#include "core/state.h"

namespace dravel {

void batch_begin(State& s) {
  s.batch_progress = BatchProgress{};
  s.batch_progress.run_start = s.io.clock.seconds();
}

bool batch_next_script(State& s) {
  const std::vector<std::string>& scripts = s.options.scripts;
  BatchProgress& p = s.batch_progress;
  const RunOutcome& r = s.outcome;
  if (r.expect_failed || r.command_failed || r.link_lost) return false;
  while (p.next_script < scripts.size()) {
    std::string name = scripts[p.next_script++];
    if (auto_start(s, name.data()) == -1) {
      s.outcome.command_failed = true;
      return false;
    }
    if (s.autos.active()) return true;
  }
  return false;
}

}  // namespace dravel
