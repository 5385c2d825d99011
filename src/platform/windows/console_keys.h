#pragma once
// Console key events to the key codes the program reads: characters as they are, the cursor
// block and function keys as their codes (base/keys.h).
#include <cstdint>
#include <deque>

#include "base/keys.h"

namespace dravel::platform {

struct ConsoleKeyEvent {
  bool key_down = true;
  std::uint16_t virtual_key = 0;
  std::uint8_t ch = 0;  // the character in the console's input code page, 0 for none
  std::uint16_t repeat = 1;
};

// The key code of a cursor or function key, or 0 when the virtual key is none of them.
KeyCode special_key(std::uint16_t virtual_key);

// Appends the keys an event gives (none for key releases, Shift alone and the like).
void append_keys(const ConsoleKeyEvent& event, std::deque<KeyCode>& out);

}  // namespace dravel::platform
