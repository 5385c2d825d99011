#include "terminal/expect_command.h"

#include <cctype>
#include <cstring>

#include "core/blanks.h"
#include "core/console_out.h"
#include "core/escaped_text.h"
#include "terminal/auto_script.h"
#include "terminal/command_table.h"
#include "terminal/state.h"

namespace dravel {

namespace {

constexpr int EXPECT_SECONDS_LIMIT = 1'000'000;
constexpr int EXIT_STATUS_LIMIT = 255;

// "-t SECONDS" (or "-tSECONDS") before the text; the text itself is left for the caller.
// Null for a bad count.
const char* parse_expect_options(const char* text, int& seconds) {
  seconds = EXPECT_DEFAULT_SECONDS;
  if (std::strncmp(text, "-t", 2) != 0) return text;
  const char* end = parse_count(skip_blanks(text + 2), EXPECT_SECONDS_LIMIT, seconds);
  if (end == nullptr || (*end != '\0' && std::isspace(static_cast<unsigned char>(*end)) == 0))
    return nullptr;
  return skip_blanks(end);
}

// Feeds `bytes` to the matcher; on a match keeps what followed it as the recent text.
bool feed(ExpectWait& w, const std::uint8_t* bytes, std::size_t count) {
  int used = matcher_feed(*w.matcher, bytes, static_cast<int>(count));
  if (!matcher_matched(*w.matcher)) return false;
  w.matched = true;
  w.recent.assign(reinterpret_cast<const char*>(bytes) + used, count - static_cast<size_t>(used));
  return true;
}

}  // namespace

CommandResult expect_command(State& s, char* argument) {
  ExpectWait& w = s.autos.expect;
  int seconds = 0;
  const char* text = parse_expect_options(argument, seconds);
  if (text == nullptr)
    return CommandResult::failed(
        format_text("expect: -t needs whole seconds (0 to %d)\n", EXPECT_SECONDS_LIMIT));
  std::string pattern;
  if (!unescape(text, pattern))
    return CommandResult::failed(
        format_text("expect: bad escape in \"%s\" (\\r \\n \\t \\\\ \\xHH)\n", text));
  if (pattern.empty()) return CommandResult::failed("expect: no text to wait for\n");
  w.matcher = matcher_create(reinterpret_cast<const std::uint8_t*>(pattern.data()),
                             static_cast<int>(pattern.size()));
  if (!w.matcher) return CommandResult::failed("expect: not enough memory\n");
  w.text = text;
  w.seconds = seconds;
  w.start = s.io.clock.seconds();
  w.matched = false;
  junit_expect_begun(s, w.text);
  // What already came counts; what follows a match is left for the next expect.
  std::string seen = std::move(w.recent);
  w.recent.clear();
  if (feed(w, reinterpret_cast<const std::uint8_t*>(seen.data()), seen.size())) expect_clear(s);
  return CommandResult::done();
}

CommandResult exit_command(State& s, char* argument) {
  int status = 0;
  const char* text = skip_blanks(argument);
  if (*text != '\0') {
    const char* end = parse_count(text, EXIT_STATUS_LIMIT, status);
    if (end == nullptr || *skip_blanks(end) != '\0')
      return CommandResult::failed(
          format_text("exit: the status is a number from 0 to %d\n", EXIT_STATUS_LIMIT));
  }
  s.outcome.exit_status = status;
  return CommandResult::quit();
}

void expect_received(State& s, const std::uint8_t* bytes, int count) {
  if (count <= 0) return;
  ExpectWait& w = s.autos.expect;
  w.line_open = bytes[count - 1] != '\n';
  if (!s.autos.active()) return;
  const std::size_t n = static_cast<std::size_t>(count);
  if (w.waiting() && !w.matched) {
    feed(w, bytes, n);
    return;
  }
  w.recent.append(reinterpret_cast<const char*>(bytes), n);
  // Trimmed now and then rather than on every chunk, so a flood costs no more than its copy.
  if (w.recent.size() > 2 * EXPECT_RECENT_LIMIT)
    w.recent.erase(0, w.recent.size() - EXPECT_RECENT_LIMIT);
}

void expect_line_sent(State& s) {
  s.autos.expect.recent.clear();
}

void expect_clear(State& s) {
  ExpectWait& w = s.autos.expect;
  // A wait cleared unmatched was stopped: the scripts stopped, or the program is ending.
  if (w.waiting())
    junit_expect_ended(
        s, w.matched ? std::nullopt : std::optional<std::string>("stopped before it was seen"));
  w.matcher.reset();
  w.matched = false;
}

bool expect_matched(State& s) {
  return s.autos.expect.matched;
}

bool expect_timed_out(State& s) {
  const ExpectWait& w = s.autos.expect;
  return w.waiting() && !w.matched && s.io.clock.seconds() - w.start > w.seconds;
}

void expect_fail(State& s) {
  ExpectWait& w = s.autos.expect;
  const std::string why = "\"" + w.text + "\" not seen within " + std::to_string(w.seconds) + " s";
  console_printf(s.console(), "%sexpect: %s\n", w.line_open ? "\n" : "", why.c_str());
  junit_expect_ended(s, why);
  s.outcome.expect_failed = true;
  expect_clear(s);
  scripts_stop_all(s);
}

}  // namespace dravel
