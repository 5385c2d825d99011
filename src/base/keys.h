#pragma once
// The key codes the console seam delivers: a typed character is its own byte, and the cursor
// block and function keys take codes above 0xE0 that no character of ours uses. Below core/
// and platform/ both, so the console makes them and the keyboard layer reads them.
#include <cstdint>

namespace dravel {

using KeyCode = std::uint8_t;

namespace key {
inline constexpr KeyCode CTRL_C = 0x03, BACKSPACE = 0x08, CR = 0x0D, ESC = 0x1B;
inline constexpr KeyCode UP = 0xE1, DOWN = 0xE2, LEFT = 0xE3, RIGHT = 0xE4, INS = 0xE5, DEL = 0xE6,
                         HOME = 0xE7, END = 0xE8, PGUP = 0xE9, PGDN = 0xEA;
inline constexpr KeyCode F1 = 0xF1, F2 = 0xF2, F3 = 0xF3, F4 = 0xF4, F5 = 0xF5, F6 = 0xF6,
                         F7 = 0xF7, F8 = 0xF8, F9 = 0xF9, F10 = 0xFA, F11 = 0xFB, F12 = 0xFC;
inline constexpr KeyCode FIRST_SPECIAL = 0xE0;
}  // namespace key

}  // namespace dravel
