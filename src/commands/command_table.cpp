#include "commands/command_table.h"

#include "commands/auto_script.h"
#include "commands/expect_command.h"
#include "commands/general_commands.h"
#include "core/console_out.h"
#include "core/state.h"
#include "loader/dload_dsave.h"
#include "loader/load_command.h"

namespace dravel {

// Order matters: both dispatchers take the first row that fits.
const CommandEntry CommandTable[COMMAND_COUNT + 1] = {
    {{0, key::F1, 0, 0}, "helpf9", helpf9_key, helpf9_local},
    {{0, 0, key::F1, 0}, "helpf10", helpf10_key, helpf10_local},
    {{key::F1, 0, 0, 0}, "help", help_key, help_local},
    {{key::F2, key::F2, 0, 0}, "dos", dos_key, dos_local},
    {{key::F2, key::F2, 0, 0}, "sh", dos_key, dos_local},
    {{key::F2, key::F2, 0, 0}, "!", dos_key, dos_local},
    {{0, 0, key::F2, 0}, "quit", quit_key, quit_local},
    {{0, 0, 0, 0}, "auto-again", no_key, auto_again_command},
    {{key::F3, key::F3, key::F3, 0}, "auto", auto_key, auto_start},
    {{key::F4, 0, 0, 0}, "load", load_key, load_command},
    {{key::F4, 0, 0, 0}, "lds", load_key, load_command},
    {{0, key::F4, 0, 0}, "dload", dload_key, dload_command},
    {{0, key::F4, 0, 0}, "ld", dload_key, dload_command},
    {{0, 0, key::F4, 0}, "dsave", dsave_key, dsave_command},
    {{key::F5, 0, 0, 0}, "log", log_prompt_key, log_local},
    {{0, key::F5, key::F5, 0}, "log", log_stop_key, log_local},
    {{key::F8, key::F8, key::F8, 0}, "edittgl", edittgl_key, edittgl_local},
    {{0, 0, 0, 0}, "beep", beep_key, beep_local},
    {{0, 0, 0, 0}, "echo", no_key, echo_local},
    {{0, 0, 0, 0}, "pause", no_key, pause_command},
    {{0, 0, 0, 0}, "sleep", no_key, sleep_command},
    {{0, 0, 0, 0}, "wait-prompt", no_key, wait_prompt_command},
    {{0, 0, 0, 0}, "expect", no_key, expect_command},
    {{0, 0, 0, 0}, "exit", no_key, exit_command},
    {{0, 0, 0, 0}, nullptr, nullptr, nullptr},
};

static char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int dispatch_key(State& s, KeyCode key, int prefix_state) {
  if (key != 0 && prefix_state >= 0 && prefix_state < 4) {
    for (const CommandEntry* row = CommandTable; row->name != nullptr; ++row) {
      if (row->keys[static_cast<size_t>(prefix_state)] != key) continue;
      console_write(s.console(), "\n\r");
      return row->key_handler(s);
    }
  }
  console_write(s.console(), "?\n\r");
  return -1;
}

int run_local_command(State& s, char* text) {
  text = skip_blanks(text);
  for (const CommandEntry* row = CommandTable; row->name != nullptr; ++row) {
    if (char* argument = match_command_name(row->name, text))
      return row->local_handler(s, argument);
  }
  if (*text == '\0') {
    console_write(s.console(), "?\n\r");
    return -1;
  }
  help_key(s);
  return -1;
}

// No separator is needed after the name: "loadfile" is load with "file".
char* match_command_name(const char* name, char* text) {
  while (*name != '\0' && *text != '\0' && fold(*name) == fold(*text)) {
    ++name;
    ++text;
  }
  if (*name != '\0') return nullptr;
  return skip_blanks(text);
}

}  // namespace dravel
