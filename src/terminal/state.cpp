#include "terminal/state.h"

#include "core/wake_deadline.h"

namespace dravel {

State::State(platform::Platform& platform)
    : core(platform), link(core, platform.serial), io(platform) {
  Hooks& hooks = core.hooks;
  // After the link's: the port is closed before the history is written.
  hooks.exit_actions.push_back([this] { history_save_file(history, history_path); });
  // A script's sleep and its expect end once more than their seconds have passed.
  hooks.deadline_sources.push_back([this] {
    return autos.sleep_seconds > 0
               ? seconds_rule_deadline_ms(autos.sleep_start, autos.sleep_seconds)
               : NO_DEADLINE;
  });
  hooks.deadline_sources.push_back([this] {
    const ExpectWait& e = autos.expect;
    return e.waiting() ? seconds_rule_deadline_ms(e.start, e.seconds) : NO_DEADLINE;
  });
}

}  // namespace dravel
