#include "commands/command_table.h"

#include <cctype>

#include "commands/auto_script.h"
#include "commands/general_commands.h"
#include "core/state.h"
#include "lineinput/console_out.h"
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
    {{0, 0, 0, 0}, nullptr, nullptr, nullptr},
};

int dispatch_key(State& s, KeyCode, int) {
  console_write(s.console(), "?\n\r");  // stub
  return -1;
}

int run_local_command(State&, char*) { return -1; }
char* match_command_name(const char*, char*) { return nullptr; }

static bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

char* skip_blanks(char* text) {
  while (*text != '\0' && is_blank(*text)) ++text;
  return text;
}
const char* skip_blanks(const char* text) {
  while (*text != '\0' && is_blank(*text)) ++text;
  return text;
}
char* find_blank(char* text) {
  while (*text != '\0' && !is_blank(*text)) ++text;
  return text;
}
const char* find_blank(const char* text) {
  while (*text != '\0' && !is_blank(*text)) ++text;
  return text;
}

}  // namespace dravel
