#pragma once
// The command rows: which key (under which prefix) and which word run what. Rows are data:
// a prompted row names its prompt and its log word, and one handler (run_prompted) asks,
// logs and runs it. Tried in order; the first that fits wins.
#include <array>
#include <cstdint>
#include <span>

#include "core/blanks.h"
#include "core/command_result.h"
#include "core/keyboard.h"

namespace dravel {

struct State;
struct CommandRow;

// Which column of a row's keys applies: after no prefix, after F9, after F10.
inline constexpr int PREFIX_NONE = 0;
inline constexpr int PREFIX_F9 = 1;
inline constexpr int PREFIX_F10 = 2;

using KeyHandler = CommandResult (*)(State&, const CommandRow&);
// The argument is the rest of the command line, leading white space removed; handlers may
// write into it (the load command terminates each name in place).
using LocalHandler = CommandResult (*)(State&, char* argument);

struct CommandRow {
  std::array<KeyCode, 4> keys;  // by prefix state: none, after F9, after F10, reserved
  const char* name;
  KeyHandler key_handler;  // run_prompted for a prompted row; null when no key runs it
  LocalHandler local_handler;
  const char* prompt = nullptr;     // a prompted row's prompt ("%s" is the history number)
  const char* log_word = nullptr;   // logged as "local <word> <line>"; null: not logged
  bool empty_does_nothing = false;  // an empty answer neither logs nor runs
};

extern const std::span<const CommandRow> COMMAND_ROWS;

// A prompted row's key: asks with row.prompt, logs the line, runs the row's local handler.
CommandResult run_prompted(State& s, const CommandRow& row);
// The two dispatchers run the row that fits, print its result's reason when it returns and
// hand back its outcome; no row: "?" (or the key map for an unknown word) and Failed.
Outcome dispatch_key(State& s, KeyCode key, int prefix_state);
Outcome run_local_command(State& s, char* text);
// Prints what a command, or a watcher's callback, came to; its outcome.
Outcome report_result(State& s, const CommandResult& result);
// The argument inside `text` when `name` begins it (case folded), else nullptr.
char* match_command_name(const char* name, char* text);

}  // namespace dravel
