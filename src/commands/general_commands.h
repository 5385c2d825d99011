#pragma once
// Handlers of the help, shell, quit, log, edittgl, beep and echo rows.

namespace dravel {

struct State;

int help_key(State& s);
int help_local(State& s, char* argument);
int helpf9_key(State& s);
int helpf9_local(State& s, char* argument);
int helpf10_key(State& s);
int helpf10_local(State& s, char* argument);
int dos_key(State& s);
int dos_local(State& s, char* argument);
int quit_key(State& s);
int quit_local(State& s, char* argument);
int log_prompt_key(State& s);
int log_stop_key(State& s);
int log_local(State& s, char* argument);
int edittgl_key(State& s);
int edittgl_local(State& s, char* argument);
int beep_key(State& s);
int beep_local(State& s, char* argument);
int echo_local(State& s, char* argument);
int no_key(State& s);

}  // namespace dravel
