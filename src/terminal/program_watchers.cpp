#include "terminal/program_watchers.h"

#include "loader/load_command.h"
#include "terminal/state.h"
#include "watch/watchers.h"

namespace dravel {

// Registered last-tried first: the list runs from the newest to the oldest.
void register_program_watchers(State& s) {
  watcher_register(
      s.watchers, PROMPT_PATTERN, [&s](int) { return on_prompt(s.link); }, 0);
  auto load_request = [&s](int from_monitor) {
    return load_request_callback(s.link, s.history, s.options.load_dir, from_monitor);
  };
  watcher_register(s.watchers, DATA_LOAD_PATTERN, load_request, 0);
  watcher_register(s.watchers, FILE_LOAD_PATTERN, load_request, 1);
}

CommandResult on_prompt(Link& link) {
  link.prompt_seen = true;
  return CommandResult::done();
}

}  // namespace dravel
