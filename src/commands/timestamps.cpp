#include "commands/timestamps.h"

#include <cstring>
#include <string>

#include "commands/log_file.h"
#include "core/blanks.h"
#include "core/console_out.h"
#include "platform/clock.h"

namespace dravel {

namespace {

constexpr const char* USAGE = "usage: local timestamps [abs|delta|iso|off] [screen]\n\r";
constexpr StampMode CYCLE[] = {StampMode::Off, StampMode::Abs, StampMode::Delta, StampMode::Iso};

void say(const Timestamps& t, platform::Console& console) {
  if (t.mode == StampMode::Off)
    console_write(console, "timestamps off\n\r");
  else
    console_printf(console, "timestamps %s on the log%s\n\r", stamp_mode_name(t.mode),
                   t.screen ? " and the screen" : "");
}

// The next blank-separated word of `text`, moved past.
std::string next_word(char*& text) {
  text = skip_blanks(text);
  char* end = find_blank(text);
  std::string word(text, static_cast<std::size_t>(end - text));
  text = end;
  return word;
}

}  // namespace

StampTime stamp_time(platform::Clock& clock) {
  const std::int64_t ms = clock.milliseconds();
  return {ms, clock.local_time(ms)};
}

void set_timestamps(Timestamps& t, LogFile& log, StampMode mode, bool screen) {
  t.mode = mode;
  t.screen = screen;
  log.set_stamps(mode);
  t.screen_stamper.set_mode(t.on_screen() ? mode : StampMode::Off);
}

CommandResult timestamps_local(Timestamps& t, LogFile& log, platform::Console& console,
                               char* argument) {
  std::string word = next_word(argument);
  StampMode mode = StampMode::Abs;
  if (!word.empty() && word != "screen") {
    std::optional<StampMode> m = parse_stamp_mode(word);
    if (!m) {
      return CommandResult::failed(USAGE);
    }
    mode = *m;
    word = next_word(argument);
  }
  const bool screen = word == "screen";
  if ((!word.empty() && !screen) || !next_word(argument).empty()) {
    return CommandResult::failed(USAGE);
  }
  set_timestamps(t, log, mode, screen);
  say(t, console);
  t.screen_stamper.start_line();  // the message ended a line of the screen
  return CommandResult::done();
}

CommandResult timestamps_key(Timestamps& t, LogFile& log, platform::Console& console) {
  std::size_t i = 0;
  while (CYCLE[i] != t.mode) ++i;
  set_timestamps(t, log, CYCLE[(i + 1) % std::size(CYCLE)], t.screen);
  say(t, console);
  t.screen_stamper.start_line();
  return CommandResult::done();
}

}  // namespace dravel
