#pragma once
// Console key events to the key bytes the program reads: characters as they are, special keys
// as 0 and the scan code of the PC keyboard's extended-key table.
#include <cstdint>
#include <deque>

namespace dravel::platform {

struct ConsoleKeyEvent {
  bool key_down = true;
  std::uint16_t virtual_key = 0;
  std::uint8_t ch = 0;  // the character in the console's input code page, 0 for none
  std::uint16_t repeat = 1;
};

// Scan code delivered after the 0 lead for a special key, or 0 when the key has none.
std::uint8_t special_key_scan(std::uint16_t virtual_key);

// Appends the bytes a key event gives (none for key releases, Shift alone and the like).
void append_key_bytes(const ConsoleKeyEvent& event, std::deque<std::uint8_t>& out);

}  // namespace dravel::platform
