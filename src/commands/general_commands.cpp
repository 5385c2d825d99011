#include "commands/general_commands.h"

#include "commands/help_screens.h"
#include "commands/log_file.h"
#include "core/blanks.h"
#include "core/console_out.h"
#include "core/core.h"
#include "core/keyboard.h"
#include "core/system_reason.h"
#include "core/waits.h"
#include "link/link.h"
#include "link/monitor_bytes.h"

namespace dravel {

CommandResult help_key(Core& core) {
  platform::Console& c = core.console();
  console_write(c, KEY_MAP_SCREEN);
  console_write(c, MORE_QUESTION);
  KeyCode k = read_key(core);
  if (k == 'y' || k == 'Y') {
    console_write(c, "\r\x1b[K\n");
    console_write(c, LONG_HELP_SCREEN);
  } else {
    console_printf(c, "%c\r\n", k);
  }
  return CommandResult::done();
}

CommandResult help_local(platform::Console& console) {
  console_write(console, LONG_HELP_SCREEN);
  return CommandResult::done();
}

CommandResult helpf9_local(platform::Console& console) {
  console_write(console, F9_HELP_SCREEN);
  return CommandResult::done();
}

CommandResult helpf10_local(platform::Console& console) {
  console_write(console, F10_HELP_SCREEN);
  return CommandResult::done();
}

// The interpreter's own messages show in the console; its result does not matter here. A
// batch run's command gets what is left of --timeout, so a command that never ends cannot
// outlast it; that limit or a signal ends the run as soon as the command is over.
CommandResult dos_local(Core& core, char* argument) {
  core.io.shell.run(skip_blanks(argument), run_time_left_ms(core));
  end_run_if_asked(core);
  return CommandResult::done();
}

CommandResult log_stop_key(LogFile& log, platform::Console& console) {
  console_write(console, "log off\n\r");
  log.close();
  return CommandResult::done();
}

CommandResult log_local(LogFile& log, platform::Console& console, platform::Files& files,
                        char* argument) {
  log.close();
  const char* name = skip_blanks(argument);
  if (*name == '\0') return CommandResult::done();
  bool append = files.exists(name);
  // Logging stays off; a script goes on as it always has.
  if (!log.open(name, append ? "a" : "w"))
    return CommandResult::done(
        format_text("\"%s\" can't open: %s\n\r", name, open_failure().c_str()));
  console_printf(console, append ? "start log append into \"%s\"\n\r" : "start log into \"%s\"\n\r",
                 name);
  return CommandResult::done();
}

// The monitor hears of every switch; the local prompt then waits for its next prompt.
CommandResult edit_toggle(bool& edit_mode, Link& link) {
  edit_mode = !edit_mode;
  tx_enqueue(link.tx, EDIT_SWITCH);
  link.prompt_seen = false;
  return CommandResult::done();
}

CommandResult beep_local(platform::Console& console) {
  console_write(console, "\a");
  return CommandResult::done();
}

CommandResult echo_local(platform::Console& console, char* argument) {
  console_printf(console, "%s\n\r", argument);
  return CommandResult::done();
}

}  // namespace dravel
