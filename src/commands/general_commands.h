#pragma once
// The help, shell, log, edit toggle, beep and echo commands, each taking only what it uses.
// Their rows (keys, names, prompts) are in terminal/command_table.cpp.

namespace dravel {

class Core;
class Link;
class LogFile;
namespace platform {
class Console;
class Files;
}  // namespace platform

// The key map, then the long help on 'y'.
int help_key(Core& core);
int help_local(platform::Console& console);
int helpf9_local(platform::Console& console);
int helpf10_local(platform::Console& console);
// A shell command line; a batch run's command gets what is left of the run's time limit.
int dos_local(Core& core, char* argument);
// `argument` names the log file; empty stops logging.
int log_local(LogFile& log, platform::Console& console, platform::Files& files, char* argument);
int log_stop_key(LogFile& log, platform::Console& console);
int edit_toggle(bool& edit_mode, Link& link);
int beep_local(platform::Console& console);
int echo_local(platform::Console& console, char* argument);

}  // namespace dravel
