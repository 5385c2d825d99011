#include "terminal/auto_script.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "core/console_out.h"
#include "core/keyboard.h"
#include "core/program_exit.h"
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

int script_next_line(State& s) {
  AutoStack& a = s.autos;
  while (a.active()) {
    if (a.top->file.read_line(a.current_line, SCRIPT_LINE_SIZE)) {
      strip_line_end(a.current_line);
      a.line_waits_prompt = !is_local_line(a.current_line);
      return 0;
    }
    // End of this script (or a read error): the one below goes on, silently.
    pop_frame(a);
  }
  return -1;
}

int script_run_line(State& s) {
  AutoStack& a = s.autos;
  a.script_started = false;
  if (is_local_line(a.current_line)) {
    // A copy, since the command may read the next line into current_line (auto).
    char line[SCRIPT_LINE_SIZE];
    std::memcpy(line, a.current_line, sizeof line);
    char* command = skip_blanks(skip_blanks(line) + LOCAL_WORD_LENGTH);
    if (*command == '\0') return 0;
    int result = run_local_command(s, command);
    if (result == -1) {
      s.outcome.command_failed = true;
      scripts_stop_all(s);
    }
    return result;
  }
  s.link.prompt_seen = false;
  if (s.core.abort_flag) {
    scripts_stop_all(s);
    return 0;
  }
  expect_line_sent(s);
  for (int i = 0; i < SCRIPT_SEND_LIMIT && a.current_line[i] != '\0'; ++i)
    tx_enqueue(s.link.tx, static_cast<std::uint8_t>(a.current_line[i]));
  tx_enqueue(s.link.tx, CR);
  return 0;
}

bool script_advance(State& s, int result, bool ran_without_waiting) {
  AutoStack& a = s.autos;
  if (result == QUIT_RESULT) return true;
  if (a.paused()) return false;
  if (a.script_started) {
    a.script_started = false;
    return false;
  }
  bool waited = a.line_waits_prompt;
  // After wait-prompt, the next line waits for the prompt whatever its kind.
  if (script_next_line(s) == 0 && ran_without_waiting && waited) a.line_waits_prompt = true;
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

int auto_start(State& s, char* argument) {
  AutoStack& a = s.autos;
  if (a.auto_depth >= AUTO_DEPTH_LIMIT) {
    console_write(s.console(), "Too many nest Auto command \n\r");
    return -1;
  }
  const char* name = skip_blanks(argument);
  if (!s.io.files.exists(name) || !s.io.files.readable(name)) {
    console_printf(s.console(), " \"%s\" not found\n\r", name);
    return -1;
  }
  std::unique_ptr<AutoFrame> frame(new (std::nothrow) AutoFrame);
  if (!frame) {
    console_write(s.console(), "Not enough memory for auto command \n\r");
    return -1;
  }
  // A directory opens on some systems but has no lines to read.
  if (is_directory(name) || !frame->file.open(name)) {
    console_printf(s.console(), " \"%s\" can't open\n\r", name);
    return -1;
  }
  frame->below = std::move(a.top);
  a.top = std::move(frame);
  ++a.auto_depth;
  script_next_line(s);
  a.script_started = true;
  return 0;
}

int auto_again_command(State& s, char*) {
  if (s.autos.active()) s.autos.top->file.rewind();
  return 0;
}

int pause_command(State& s, char* argument) {
  const char* text = skip_blanks(argument);
  if (*text != '\0')
    console_printf(s.console(), "%s ", text);
  else
    console_write(s.console(), "?");
  KeyCode k = read_key(s.core);
  console_write(s.console(), "\r\n");
  if (k == key::F3 && s.autos.active()) scripts_stop_all(s);
  return 0;
}

int sleep_command(State& s, char* argument) {
  int seconds = parse_seconds(argument);
  s.autos.sleep_seconds = seconds > 0 ? seconds : 0;
  s.autos.sleep_start = s.io.clock.seconds();
  return 0;
}

int wait_prompt_command(State& s, char*) {
  s.autos.line_waits_prompt = true;
  return 0;
}

}  // namespace dravel
