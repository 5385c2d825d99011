#pragma once
// "local expect": a script waits, inside the terminal loop, until the board has printed a text.
// "local exit": ends the program with a status of the script's choosing.
#include <cstdint>
#include <memory>
#include <string>

#include "core/command_result.h"
#include "watch/pattern_matcher.h"

namespace dravel {

struct State;

inline constexpr int EXPECT_DEFAULT_SECONDS = 30;
// What the board said since the script's last line went to it is searched back at least this
// far; older text is dropped.
inline constexpr std::size_t EXPECT_RECENT_LIMIT = 64 * 1024;

struct ExpectWait {
  std::unique_ptr<PatternMatcher> matcher;  // set while a script waits
  std::string text;                         // as the script wrote it, for the message
  int seconds = 0;
  std::int64_t start = 0;  // clock seconds
  bool matched = false;
  // The board's text since the script last sent a line, so that an answer which came while
  // that line was going out (before the expect line ran) still counts.
  std::string recent;
  bool line_open = false;  // the board's last shown byte did not end a line

  bool waiting() const { return matcher != nullptr; }
};

CommandResult expect_command(State& s, char* argument);
CommandResult exit_command(State& s, char* argument);

// Every chunk the terminal shows from the board, in order.
void expect_received(State& s, const std::uint8_t* bytes, int count);
// A script line was queued for the board: the text to search begins afresh.
void expect_line_sent(State& s);
// The text has come; the pass that sees it ends the wait and moves the script on.
bool expect_matched(State& s);
// The wait is over one way or another; forgets it.
void expect_clear(State& s);
// True once the wait's limit has passed on the clock.
bool expect_timed_out(State& s);
// Says so on a fresh line, remembers it for the exit status and stops the scripts.
void expect_fail(State& s);

}  // namespace dravel
