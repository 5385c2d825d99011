#pragma once
// Time stamps on the board's lines: one mode for the log and, when asked, the screen. The
// screen's bytes stay as they were unless the screen is asked for.
#include "commands/line_stamper.h"
#include "core/command_result.h"

namespace dravel {

class LogFile;
namespace platform {
class Clock;
class Console;
}  // namespace platform

struct Timestamps {
  StampMode mode = StampMode::Off;
  bool screen = false;  // the screen too, not only the log
  LineStamper screen_stamper;
  bool on_screen() const { return screen && mode != StampMode::Off; }
};

// One reading of the clock, for every line begun in the same chunk.
StampTime stamp_time(platform::Clock& clock);
void set_timestamps(Timestamps& t, LogFile& log, StampMode mode, bool screen);

// `[abs|delta|iso|off] [screen]`: alone, abs on the log only.
CommandResult timestamps_local(Timestamps& t, LogFile& log, platform::Console& console,
                               char* argument);
// Each press takes the next mode: off, abs, delta, iso, then off again; the screen as it was.
CommandResult timestamps_key(Timestamps& t, LogFile& log, platform::Console& console);

}  // namespace dravel
