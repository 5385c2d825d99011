#include "commands/general_commands.h"

#include "commands/command_table.h"
#include "commands/help_screens.h"
#include "core/console_out.h"
#include "core/keyboard.h"
#include "core/program_exit.h"
#include "core/state.h"
#include "core/waits.h"
#include "lineinput/prompted_input.h"
#include "link/tx_queue.h"

namespace dravel {

namespace {
constexpr int PROMPT_CAPACITY = 63;
constexpr std::uint8_t CTRL_U = 0x15;
}  // namespace

int help_key(State& s) {
  console_write(s.console(), KEY_MAP_SCREEN);
  console_write(s.console(), MORE_QUESTION);
  KeyCode k = read_key(s);
  if (k == 'y' || k == 'Y') {
    console_write(s.console(), "\r\x1b[K\n");
    console_write(s.console(), LONG_HELP_SCREEN);
  } else {
    console_printf(s.console(), "%c\r\n", k);
  }
  return 0;
}

int help_local(State& s, char*) {
  console_write(s.console(), LONG_HELP_SCREEN);
  return 0;
}

int helpf9_key(State& s) {
  console_write(s.console(), F9_HELP_SCREEN);
  return 0;
}
int helpf9_local(State& s, char*) {
  return helpf9_key(s);
}

int helpf10_key(State& s) {
  console_write(s.console(), F10_HELP_SCREEN);
  return 0;
}
int helpf10_local(State& s, char*) {
  return helpf10_key(s);
}

int dos_key(State& s) {
  char line[PROMPT_CAPACITY + 1] = {};
  prompt_line(s, "\x1b[32mDos%s#\x1b[0m ", line, PROMPT_CAPACITY);
  if (line[0] == '\0') return 0;
  s.log_file.printf("local dos %s\n", line);
  return dos_local(s, line);
}

// The interpreter's own messages show in the console; its result does not matter here. A
// batch run's command gets what is left of --timeout, so a command that never ends cannot
// outlast it; that limit or a signal ends the run as soon as the command is over.
int dos_local(State& s, char* argument) {
  s.io.shell.run(skip_blanks(argument), batch_time_left_ms(s));
  end_run_if_asked(s);
  return 0;
}

int quit_key(State& s) {
  s.log_file.printf("local quit\n");
  return QUIT_RESULT;
}
int quit_local(State&, char*) {
  return QUIT_RESULT;
}

int log_prompt_key(State& s) {
  char name[PROMPT_CAPACITY + 1] = {};
  prompt_line(s, "\x1b[32mLog%s:\x1b[0m ", name, PROMPT_CAPACITY);
  return log_local(s, name);
}

int log_stop_key(State& s) {
  console_write(s.console(), "log off\n\r");
  char empty[1] = {};
  return log_local(s, empty);
}

int log_local(State& s, char* argument) {
  s.log_file.close();
  const char* name = skip_blanks(argument);
  if (*name == '\0') return 0;
  bool append = s.io.files.exists(name);
  if (!s.log_file.open(name, append ? "a" : "w")) {
    console_printf(s.console(), "\"%s\" can't open\n\r", name);
    return 0;
  }
  console_printf(s.console(),
                 append ? "start log append into \"%s\"\n\r" : "start log into \"%s\"\n\r", name);
  return 0;
}

// The monitor hears of every switch; the local prompt then waits for its next prompt.
int edittgl_key(State& s) {
  s.edit_mode = !s.edit_mode;
  tx_enqueue(s.tx, CTRL_U);
  s.prompt_seen = false;
  return 0;
}
int edittgl_local(State& s, char*) {
  return edittgl_key(s);
}

int beep_key(State& s) {
  console_write(s.console(), "\a");
  return 0;
}
int beep_local(State& s, char*) {
  return beep_key(s);
}

int echo_local(State& s, char* argument) {
  console_printf(s.console(), "%s\n\r", argument);
  return 0;
}

int no_key(State&) {
  return 0;
}

}  // namespace dravel
