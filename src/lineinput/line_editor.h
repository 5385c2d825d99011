#pragma once
#include <cstdint>

#include "core/keyboard.h"

namespace dravel {

class Core;

inline constexpr int LINE_FLAG_NEWLINE = 1;
inline constexpr int LINE_FLAG_SPECIAL_ENDS = 2;

enum class EditAction { LEFT, RIGHT, HOME, END, BACKSPACE, DELETE, KILL_TO_END, KILL_LINE };
struct LineEditKey {
  KeyCode key;
  EditAction action;
};
extern const LineEditKey line_edit_keys[8];
extern const KeyCode line_terminators[6];

// Edits `line` (capacity + 1 bytes, zero-terminated) in place; returns the key that ended input.
int edit_line(Core& core, char* line, int capacity, const LineEditKey (&keys)[8],
              const KeyCode (&terminators)[6], int flags);

}  // namespace dravel
