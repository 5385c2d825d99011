#include "commands/general_commands.h"

#include "core/program_exit.h"
#include "core/state.h"

namespace dravel {

int help_key(State&) { return 0; }
int help_local(State&, char*) { return 0; }
int helpf9_key(State&) { return 0; }
int helpf9_local(State&, char*) { return 0; }
int helpf10_key(State&) { return 0; }
int helpf10_local(State&, char*) { return 0; }
int dos_key(State&) { return 0; }
int dos_local(State&, char*) { return 0; }
int quit_key(State&) { return QUIT_RESULT; }
int quit_local(State&, char*) { return QUIT_RESULT; }
int log_prompt_key(State&) { return 0; }
int log_stop_key(State&) { return 0; }
int log_local(State&, char*) { return 0; }
int edittgl_key(State&) { return 0; }
int edittgl_local(State&, char*) { return 0; }
int beep_key(State&) { return 0; }
int beep_local(State&, char*) { return 0; }
int echo_local(State&, char*) { return 0; }
int no_key(State&) { return 0; }

}  // namespace dravel
