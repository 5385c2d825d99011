#pragma once
#include <array>
#include <cstdint>

#include "core/blanks.h"
#include "core/keyboard.h"

namespace dravel {

struct State;

using KeyHandler = int (*)(State&);
// The argument is the rest of the command line, leading white space removed; handlers may
// write into it (the load command terminates each name in place).
using LocalHandler = int (*)(State&, char* argument);

struct CommandEntry {
  std::array<std::uint8_t, 4> keys;  // by prefix state: none, after F9, after F10, reserved
  const char* name;
  KeyHandler key_handler;
  LocalHandler local_handler;
};

inline constexpr int COMMAND_COUNT = 24;
// 24 rows and the end row (name absent).
extern const CommandEntry CommandTable[COMMAND_COUNT + 1];

int dispatch_key(State& s, KeyCode key, int prefix_state);
int run_local_command(State& s, char* text);
// The argument inside `text` when `name` begins it (case folded), else nullptr.
char* match_command_name(const char* name, char* text);

}  // namespace dravel
