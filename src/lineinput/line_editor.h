#pragma once
#include <cstdint>

#include "core/keyboard.h"

namespace dravel {

class Core;

inline constexpr int LINE_FLAG_NEWLINE = 1;
inline constexpr int LINE_FLAG_SPECIAL_ENDS = 2;

// The control keys of the line editor and of the prompt around it, named once.
namespace line_key {
inline constexpr KeyCode LEFT = 0x13, RIGHT = 0x04, HOME = 0x01, END = 0x06, BACKSPACE = 0x08,
                         DELETE = 0x07, KILL_TO_END = 0x0B, KILL_LINE = 0x19;
// Keys that end the editing and go to the prompt: the line is done, a history step or
// search, or the line cleared (the same key as KILL_LINE; the prompt clears its line too).
inline constexpr KeyCode ENTER = 0x0D, PREVIOUS = 0x05, NEXT = 0x18, SEARCH_OLDER = 0x09,
                         SEARCH_NEWER = 0x0A, CLEAR = 0x19;
}  // namespace line_key

enum class EditAction { Left, Right, Home, End, Backspace, Delete, KillToEnd, KillLine };
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
