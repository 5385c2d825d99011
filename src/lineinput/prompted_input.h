#pragma once

namespace dravel {

struct State;

// `format` holds exactly one "%s", replaced by the history number text.
char* prompted_input(State& s, const char* format, char* line, int capacity, int flags);
char* prompt_line(State& s, const char* format, char* line, int capacity);

}  // namespace dravel
