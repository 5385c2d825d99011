#pragma once
// What core/ works on: the seams, the key queue and its break flag, the run's time limit and
// the hooks the layers above registered. It knows no layer above it.
#include <cstdint>

#include "core/hooks.h"
#include "core/keyboard.h"
#include "platform/platform.h"

namespace dravel {

// A batch run's --timeout: the run ends with STATUS_TIMED_OUT once more than `seconds`
// whole seconds have passed since `start_second`. Off while seconds is 0.
struct RunLimit {
  int seconds = 0;
  std::int64_t start_second = 0;
  bool on() const { return seconds > 0; }
};

class Core {
 public:
  explicit Core(platform::Platform& platform) : io(platform) {}
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  platform::Platform& io;
  platform::Console& console() { return io.console; }

  KeyQueue keys;
  // ESC was taken off the keyboard: the command in progress stops (or the program ends).
  bool abort_flag = false;
  // A batch run has no keyboard: standard input is never read, questions get Enter.
  bool no_keyboard = false;
  RunLimit run_limit;
  Hooks hooks;
};

}  // namespace dravel
