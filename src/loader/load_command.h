#pragma once

namespace dravel {

struct State;

enum LoadFormat {
  FORMAT_UNKNOWN = 0,
  FORMAT_SREC = 1,
  FORMAT_EXE = 2,
  FORMAT_COFF = 4,
  FORMAT_ELF = 8
};

inline constexpr const char* LOAD_PROMPT = "\x1b[32mLoad%s:\x1b[0m ";
inline constexpr int LOAD_PROMPT_CAPACITY = 63;
// The longest file name the monitor may send, its carriage return not counted.
inline constexpr int MONITOR_NAME_LIMIT = 255;

LoadFormat detect_format(State& s, const char* name);
int load_file(State& s, const char* name, int level);
// Options "-s " / "-v ", then names; writes a terminator after each name.
int load_command(State& s, char* argument);
int load_key(State& s);
// Watcher callback: 0 asks the user for the name, non-zero asks the monitor.
int load_request_callback(State& s, int from_monitor);

// The existence and readability test made before any byte of a load is sent.
bool load_file_readable(State& s, const char* name);

}  // namespace dravel
