#include "commands/line_commands.h"

#include <cstring>

#include "core/blanks.h"
#include "core/console_out.h"
#include "link/line_control.h"
#include "link/link.h"

namespace dravel {

namespace {

constexpr int DEFAULT_BREAK_MS = 250;
// A minute: longer is no pulse, and a typing slip (a second 0 too many) costs little.
constexpr int LONGEST_MS = 60'000;

// Whole milliseconds from 1 to LONGEST_MS, and nothing after them; else 0.
int parse_ms(const char* text) {
  int ms = 0;
  const char* end = parse_count(skip_blanks(text), LONGEST_MS, ms);
  return end != nullptr && *skip_blanks(end) == '\0' ? ms : 0;
}

// `text` begins with the word `word` (and a blank or its end after it).
const char* after_word(const char* text, const char* word) {
  const std::size_t n = std::strlen(word);
  if (std::strncmp(text, word, n) != 0) return nullptr;
  const char* rest = text + n;
  return *rest == '\0' || find_blank(rest) == rest ? rest : nullptr;
}

CommandResult done(const platform::ControlResult& r) {
  return r.ok ? CommandResult::done() : CommandResult::failed(r.error + "\n\r");
}

CommandResult modem_local(Link& link, ModemLine line, const char* usage, char* argument) {
  const char* a = skip_blanks(argument);
  for (bool on : {true, false})
    if (const char* rest = after_word(a, on ? "on" : "off"); rest && *skip_blanks(rest) == '\0')
      return done(set_modem_line(link, line, on));
  if (const char* rest = after_word(a, "pulse"))
    if (int ms = parse_ms(rest); ms > 0) return done(pulse_modem_line(link, line, ms));
  return CommandResult::failed(usage);
}

}  // namespace

CommandResult break_local(Link& link, char* argument) {
  const int ms = *skip_blanks(argument) == '\0' ? DEFAULT_BREAK_MS : parse_ms(argument);
  if (ms == 0)
    return CommandResult::failed("usage: local break [<ms>] (1 to 60000, 250 when none)\n\r");
  return done(send_break(link, ms));
}

CommandResult dtr_local(Link& link, char* argument) {
  return modem_local(link, ModemLine::Dtr, "usage: local dtr on|off|pulse <ms> (1 to 60000)\n\r",
                     argument);
}

CommandResult rts_local(Link& link, char* argument) {
  return modem_local(link, ModemLine::Rts, "usage: local rts on|off|pulse <ms> (1 to 60000)\n\r",
                     argument);
}

}  // namespace dravel
