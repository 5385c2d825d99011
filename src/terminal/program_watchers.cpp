#include "terminal/program_watchers.h"

#include "core/state.h"
#include "loader/load_command.h"
#include "watch/watchers.h"

namespace dravel {

// Registered last-tried first: the list runs from the newest to the oldest.
void register_program_watchers(State& s) {
  watcher_register(s.watchers, PROMPT_PATTERN, on_prompt, 0);
  watcher_register(s.watchers, DATA_LOAD_PATTERN, load_request_callback, 0);
  watcher_register(s.watchers, FILE_LOAD_PATTERN, load_request_callback, 1);
}

}  // namespace dravel
