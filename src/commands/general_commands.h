#pragma once
// The help, shell, log, edit toggle, beep and echo commands, each taking only what it uses.
// Their rows (keys, names, prompts) are in terminal/command_table.cpp.
#include "core/command_result.h"

namespace dravel {

class Core;
class Link;
class LogFile;
namespace platform {
class Console;
class Files;
}  // namespace platform

// The key map, then the long help on 'y'.
CommandResult help_key(Core& core);
CommandResult help_local(platform::Console& console);
CommandResult helpf9_local(platform::Console& console);
CommandResult helpf10_local(platform::Console& console);
// A shell command line; a batch run's command gets what is left of the run's time limit.
CommandResult dos_local(Core& core, char* argument);
// `argument` names the log file; empty stops logging.
CommandResult log_local(LogFile& log, platform::Console& console, platform::Files& files,
                        char* argument);
CommandResult log_stop_key(LogFile& log, platform::Console& console);
CommandResult edit_toggle(bool& edit_mode, Link& link);
CommandResult beep_local(platform::Console& console);
CommandResult echo_local(platform::Console& console, char* argument);

}  // namespace dravel
