#pragma once
// Auto scripts: text files whose lines drive the terminal as if typed. "local ..." lines run a
// local command at once; every other line goes to the target after the monitor's prompt.
#include <cstdint>
#include <memory>

#include "core/command_result.h"
#include "core/text_reader.h"
#include "link/monitor_bytes.h"
#include "terminal/expect_command.h"

namespace dravel {

struct State;

struct AutoFrame {
  std::unique_ptr<AutoFrame> below;
  TextReader file;
};

inline constexpr int AUTO_DEPTH_LIMIT = 17;
inline constexpr int SCRIPT_LINE_SIZE = 256;
// Bytes of a target line that reach the monitor's line buffer.
inline constexpr int SCRIPT_SEND_LIMIT = MONITOR_LINE_LIMIT;

struct AutoStack {
  std::unique_ptr<AutoFrame> top;
  int auto_depth = 0;
  char current_line[SCRIPT_LINE_SIZE] = {};
  bool line_waits_prompt = false;
  int sleep_seconds = 0;
  std::int64_t sleep_start = 0;
  bool script_started = false;  // auto_start succeeded while the current line ran
  ExpectWait expect;

  bool active() const { return top != nullptr; }
  // The current line waits on the clock or the board's text before the next one runs.
  bool paused() const { return sleep_seconds > 0 || expect.waiting(); }
};

// A line is local when, after leading white space, it begins with "local".
bool is_local_line(const char* line);

// True when a line was read into current_line, false when no script is left.
bool script_next_line(State& s);
// Runs current_line: a local command's outcome (its reason printed), else Done.
Outcome script_run_line(State& s);
// True when the terminal loop must return (the line's outcome was Quit).
bool script_advance(State& s, Outcome outcome, bool ran_without_waiting);
void scripts_stop_all(State& s);

CommandResult auto_start(State& s, char* argument);
CommandResult auto_again_command(State& s, char* argument);
CommandResult pause_command(State& s, char* argument);
CommandResult sleep_command(State& s, char* argument);
CommandResult wait_prompt_command(State& s, char* argument);

}  // namespace dravel
