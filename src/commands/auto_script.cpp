#include "commands/auto_script.h"

#include "core/state.h"

namespace dravel {

int script_next_line(State&) { return -1; }
int script_run_line(State&) { return 0; }
bool script_advance(State&, int, bool) { return false; }
void scripts_stop_all(State&) {}
int auto_key(State&) { return 0; }
int auto_start(State&, char*) { return -1; }
int auto_again_command(State&, char*) { return 0; }
int pause_command(State&, char*) { return 0; }
int sleep_command(State&, char*) { return 0; }
int wait_prompt_command(State&, char*) { return 0; }

}  // namespace dravel
