#pragma once

namespace dravel {

struct State;

enum LoadFormat { FORMAT_UNKNOWN = 0, FORMAT_SREC = 1, FORMAT_EXE = 2, FORMAT_COFF = 4 };

LoadFormat detect_format(State& s, const char* name);
int load_file(State& s, const char* name, int level);
int load_command(State& s, char* argument);
int load_key(State& s);
int load_request_callback(State& s, int from_monitor);

}  // namespace dravel
