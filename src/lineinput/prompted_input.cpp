#include "lineinput/prompted_input.h"

#include "core/state.h"
#include "lineinput/line_editor.h"

namespace dravel {

char* prompted_input(State& s, const char*, char* line, int capacity, int flags) {
  edit_line(s, line, capacity, line_edit_keys, line_terminators, flags);
  return line;  // stub
}

char* prompt_line(State& s, const char* format, char* line, int capacity) {
  return prompted_input(s, format, line, capacity, LINE_FLAG_NEWLINE);
}

}  // namespace dravel
