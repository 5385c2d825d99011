#include "terminal/auto_script.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "core/console_out.h"
#include "core/keyboard.h"
#include "core/system_reason.h"
#include "lineinput/prompted_input.h"
#include "link/tx_queue.h"
#include "terminal/command_table.h"
#include "terminal/state.h"

namespace dravel {

namespace {

constexpr const char LOCAL_WORD[] = "local";
constexpr std::size_t LOCAL_WORD_LENGTH = sizeof(LOCAL_WORD) - 1;

void pop_frame(AutoStack& a) {
  std::unique_ptr<AutoFrame> old = std::move(a.top);
  a.top = std::move(old->below);
  --a.auto_depth;
}

void strip_line_end(char* line) {
  std::size_t n = std::strlen(line);
  if (n > 0 && line[n - 1] == '\n') {
    line[--n] = '\0';
    if (n > 0 && line[n - 1] == '\r') line[--n] = '\0';
  }
}

// Decimal seconds as a C library would read them, but capped instead of overflowing.
int parse_seconds(const char* text) {
  text = skip_blanks(text);
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long long value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)) != 0; ++text) {
    value = value * 10 + (*text - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

bool is_directory(const char* name) {
  std::error_code ec;
  return std::filesystem::is_directory(name, ec);
}

}  // namespace

bool is_local_line(const char* line) {
  return std::strncmp(skip_blanks(line), LOCAL_WORD, LOCAL_WORD_LENGTH) == 0;
}

bool script_next_line(State& s) {
  AutoStack& a = s.autos;
  while (a.active()) {
    if (a.top->file.read_line(a.current_line, SCRIPT_LINE_SIZE)) {
      strip_line_end(a.current_line);
      a.line_waits_prompt = !is_local_line(a.current_line);
      return true;
    }
    // End of this script (or a read error): the one below goes on, silently.
    pop_frame(a);
  }
  return false;
}

Outcome script_run_line(State& s) {
  AutoStack& a = s.autos;
  a.script_started = false;
  if (is_local_line(a.current_line)) {
    // A copy, since the command may read the next line into current_line (auto).
    char line[SCRIPT_LINE_SIZE];
    std::memcpy(line, a.current_line, sizeof line);
    char* command = skip_blanks(skip_blanks(line) + LOCAL_WORD_LENGTH);
    if (*command == '\0') return Outcome::Done;
    const Outcome outcome = run_local_command(s, command);
    if (outcome == Outcome::Failed) {
      s.outcome.command_failed = true;
      scripts_stop_all(s);
    }
    return outcome;
  }
  s.link.prompt_seen = false;
  if (s.core.abort_flag) {
    scripts_stop_all(s);
    return Outcome::Done;
  }
  expect_line_sent(s);
  for (int i = 0; i < SCRIPT_SEND_LIMIT && a.current_line[i] != '\0'; ++i)
    tx_enqueue(s.link.tx, static_cast<std::uint8_t>(a.current_line[i]));
  tx_enqueue(s.link.tx, CR);
  return Outcome::Done;
}

bool script_advance(State& s, Outcome outcome, bool ran_without_waiting) {
  AutoStack& a = s.autos;
  if (outcome == Outcome::Quit) return true;
  if (a.paused()) return false;
  if (a.script_started) {
    a.script_started = false;
    return false;
  }
  bool waited = a.line_waits_prompt;
  // After wait-prompt, the next line waits for the prompt whatever its kind.
  if (script_next_line(s) && ran_without_waiting && waited) a.line_waits_prompt = true;
  return false;
}

void scripts_stop_all(State& s) {
  AutoStack& a = s.autos;
  a.sleep_seconds = 0;
  a.line_waits_prompt = false;
  expect_clear(s);
  a.expect.recent.clear();
  if (!a.active()) return;
  // Stopped is stopped: start-up's scripts still to come do not start either.
  s.batch_progress.next_script = s.batch_progress.scripts.size();
  while (a.active()) pop_frame(a);
  console_write(s.console(), "auto commands all stop\n\r");
}

CommandResult auto_start(State& s, char* argument) {
  AutoStack& a = s.autos;
  if (a.auto_depth >= AUTO_DEPTH_LIMIT)
    return CommandResult::failed("Too many nest Auto command \n\r");
  const char* name = skip_blanks(argument);
  if (!s.io.files.exists(name) || !s.io.files.readable(name))
    return CommandResult::failed(format_text(" \"%s\" not found\n\r", name));
  std::unique_ptr<AutoFrame> frame(new (std::nothrow) AutoFrame);
  if (!frame) return CommandResult::failed("Not enough memory for auto command \n\r");
  // A directory opens on some systems but has no lines to read.
  const bool directory = is_directory(name);
  if (directory || !frame->file.open(name)) {
    const std::string why = directory ? system_reason(EISDIR) : open_failure();
    return CommandResult::failed(format_text(" \"%s\" can't open: %s\n\r", name, why.c_str()));
  }
  frame->below = std::move(a.top);
  a.top = std::move(frame);
  ++a.auto_depth;
  script_next_line(s);
  a.script_started = true;
  return CommandResult::done();
}

CommandResult auto_again_command(State& s, char*) {
  if (s.autos.active()) s.autos.top->file.rewind();
  return CommandResult::done();
}

CommandResult pause_command(State& s, char* argument) {
  const char* text = skip_blanks(argument);
  if (*text != '\0')
    console_printf(s.console(), "%s ", text);
  else
    console_write(s.console(), "?");
  KeyCode k = read_key(s.core);
  console_write(s.console(), "\r\n");
  if (k == key::F3 && s.autos.active()) scripts_stop_all(s);
  return CommandResult::done();
}

CommandResult sleep_command(State& s, char* argument) {
  int seconds = parse_seconds(argument);
  s.autos.sleep_seconds = seconds > 0 ? seconds : 0;
  s.autos.sleep_start = s.io.clock.seconds();
  return CommandResult::done();
}

CommandResult wait_prompt_command(State& s, char*) {
  s.autos.line_waits_prompt = true;
  return CommandResult::done();
}

}  // namespace dravel
