#include "terminal/command_table.h"

#include "commands/general_commands.h"
#include "commands/line_commands.h"
#include "commands/timestamps.h"
#include "core/console_out.h"
#include "lineinput/prompted_input.h"
#include "link/monitor_bytes.h"
#include "loader/dload_dsave.h"
#include "loader/load_command.h"
#include "terminal/auto_script.h"
#include "terminal/expect_command.h"
#include "terminal/state.h"

namespace dravel {

namespace {

using key::F1, key::F2, key::F3, key::F4, key::F5, key::F6, key::F8;

CommandResult help_key_row(State& s, const CommandRow&) {
  return help_key(s.core);
}
CommandResult quit_key(State& s, const CommandRow&) {
  s.log_file.printf("local quit\n");
  return CommandResult::quit();
}
CommandResult log_stop_row(State& s, const CommandRow&) {
  return log_stop_key(s.log_file, s.console());
}
CommandResult timestamps_row(State& s, const CommandRow&) {
  return timestamps_key(s.stamps, s.log_file, s.console());
}
// A key that does what the row's word does with nothing after it.
CommandResult as_word(State& s, const CommandRow& row) {
  char empty[1] = {};
  return row.local_handler(s, empty);
}
// F3 stops the scripts that run, else asks for one.
CommandResult auto_key(State& s, const CommandRow& row) {
  if (!s.autos.active()) return run_prompted(s, row);
  scripts_stop_all(s);
  return CommandResult::done();
}

CommandResult help(State& s, char*) {
  return help_local(s.console());
}
CommandResult helpf9(State& s, char*) {
  return helpf9_local(s.console());
}
CommandResult helpf10(State& s, char*) {
  return helpf10_local(s.console());
}
CommandResult dos(State& s, char* a) {
  return dos_local(s.core, a);
}
CommandResult quit(State&, char*) {
  return CommandResult::quit();
}
CommandResult load(State& s, char* a) {
  return load_command(s.link, a);
}
CommandResult dload(State& s, char* a) {
  return dload_command(s.link, a);
}
CommandResult dsave(State& s, char* a) {
  return dsave_command(s.link, a);
}
CommandResult log(State& s, char* a) {
  return log_local(s.log_file, s.console(), s.io.files, a);
}
CommandResult edittgl(State& s, char*) {
  return edit_toggle(s.edit_mode, s.link);
}
CommandResult beep(State& s, char*) {
  return beep_local(s.console());
}
CommandResult echo(State& s, char* a) {
  return echo_local(s.console(), a);
}
CommandResult timestamps(State& s, char* a) {
  return timestamps_local(s.stamps, s.log_file, s.console(), a);
}
CommandResult line_break(State& s, char* a) {
  return break_local(s.link, a);
}
CommandResult dtr(State& s, char* a) {
  return dtr_local(s.link, a);
}
CommandResult rts(State& s, char* a) {
  return rts_local(s.link, a);
}

constexpr const char* DOS_PROMPT = "\x1b[32mDos%s#\x1b[0m ";
constexpr const char* AUTO_PROMPT = "\x1b[32mAuto%s:\x1b[0m ";
constexpr const char* DLOAD_PROMPT = "\x1b[32mDload%s:\x1b[0m ";
constexpr const char* DSAVE_PROMPT = "\x1b[32mDsave%s:\x1b[0m ";
constexpr const char* LOG_PROMPT = "\x1b[32mLog%s:\x1b[0m ";

// Order matters: both dispatchers take the first row that fits.
// clang-format off
const CommandRow ROWS[] = {
    {{0, F1, 0, 0}, "helpf9", as_word, helpf9},
    {{0, 0, F1, 0}, "helpf10", as_word, helpf10},
    {{F1, 0, 0, 0}, "help", help_key_row, help},
    {{F2, F2, 0, 0}, "dos", run_prompted, dos, DOS_PROMPT, "dos", true},
    {{F2, F2, 0, 0}, "sh", run_prompted, dos, DOS_PROMPT, "dos", true},
    {{F2, F2, 0, 0}, "!", run_prompted, dos, DOS_PROMPT, "dos", true},
    {{0, 0, F2, 0}, "quit", quit_key, quit},
    {{0, 0, 0, 0}, "auto-again", nullptr, auto_again_command},
    {{F3, F3, F3, 0}, "auto", auto_key, auto_start, AUTO_PROMPT, "auto", true},
    {{F4, 0, 0, 0}, "load", run_prompted, load, LOAD_PROMPT, "load"},
    {{F4, 0, 0, 0}, "lds", run_prompted, load, LOAD_PROMPT, "load"},
    {{0, F4, 0, 0}, "dload", run_prompted, dload, DLOAD_PROMPT, "dload"},
    {{0, F4, 0, 0}, "ld", run_prompted, dload, DLOAD_PROMPT, "dload"},
    {{0, 0, F4, 0}, "dsave", run_prompted, dsave, DSAVE_PROMPT, "dsave"},
    {{F5, 0, 0, 0}, "log", run_prompted, log, LOG_PROMPT},
    {{0, F5, F5, 0}, "log", log_stop_row, log},
    {{F8, F8, F8, 0}, "edittgl", as_word, edittgl},
    {{0, 0, 0, 0}, "beep", as_word, beep},
    {{0, 0, 0, 0}, "echo", nullptr, echo},
    {{0, 0, 0, 0}, "pause", nullptr, pause_command},
    {{0, 0, 0, 0}, "sleep", nullptr, sleep_command},
    {{0, 0, 0, 0}, "wait-prompt", nullptr, wait_prompt_command},
    {{0, 0, 0, 0}, "expect", nullptr, expect_command},
    {{0, 0, 0, 0}, "exit", nullptr, exit_command},
    {{F6, 0, 0, 0}, "timestamps", timestamps_row, timestamps},
    {{0, 0, 0, 0}, "break", nullptr, line_break},
    {{0, 0, 0, 0}, "dtr", nullptr, dtr},
    {{0, 0, 0, 0}, "rts", nullptr, rts},
};
// clang-format on

char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

const std::span<const CommandRow> COMMAND_ROWS{ROWS};

CommandResult run_prompted(State& s, const CommandRow& row) {
  char line[PROMPT_CAPACITY + 1] = {};
  prompt_line(s.core, s.history, row.prompt, line, PROMPT_CAPACITY);
  if (row.empty_does_nothing && line[0] == '\0') return CommandResult::done();
  if (row.log_word != nullptr) s.log_file.printf("local %s %s\n", row.log_word, line);
  return row.local_handler(s, line);
}

Outcome report_result(State& s, const CommandResult& result) {
  if (!result.reason.empty()) console_write(s.console(), result.reason);
  return result.outcome;
}

Outcome dispatch_key(State& s, KeyCode key, int prefix_state) {
  if (key != 0 && prefix_state >= 0 && prefix_state < 4) {
    for (const CommandRow& row : COMMAND_ROWS) {
      if (row.keys[static_cast<size_t>(prefix_state)] != key) continue;
      console_write(s.console(), "\n\r");
      return report_result(s, row.key_handler(s, row));
    }
  }
  return report_result(s, CommandResult::failed("?\n\r"));
}

Outcome run_local_command(State& s, char* text) {
  text = skip_blanks(text);
  for (const CommandRow& row : COMMAND_ROWS) {
    if (char* argument = match_command_name(row.name, text))
      return report_result(s, row.local_handler(s, argument));
  }
  if (*text == '\0') return report_result(s, CommandResult::failed("?\n\r"));
  // An unknown word shows the key map, then fails.
  help_key(s.core);
  return Outcome::Failed;
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
