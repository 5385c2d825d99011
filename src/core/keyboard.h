#pragma once
// The keyboard layer: key codes, the key ring, and the polling and blocking reads.
#include <array>
#include <cstdint>

namespace dravel {

class Core;

using KeyCode = std::uint8_t;

namespace key {
inline constexpr KeyCode ESC = 27;
inline constexpr KeyCode UP = 0xE1, DOWN = 0xE2, LEFT = 0xE3, RIGHT = 0xE4, INS = 0xE5, DEL = 0xE6,
                         HOME = 0xE7, END = 0xE8, PGUP = 0xE9, PGDN = 0xEA;
inline constexpr KeyCode F1 = 0xF1, F2 = 0xF2, F3 = 0xF3, F4 = 0xF4, F5 = 0xF5, F6 = 0xF6,
                         F7 = 0xF7, F8 = 0xF8, F9 = 0xF9, F10 = 0xFA, F11 = 0xFB, F12 = 0xFC;
inline constexpr KeyCode FIRST_SPECIAL = 0xE0;
}  // namespace key

struct ExtendedKey {
  std::int32_t code;
  std::int32_t scan;
};
// Looked up by scan code; the first equal entry wins; ended by a scan code of 0.
extern const ExtendedKey extended_key_table[23];

// 1024 keys; an index wraps to 0 when it would reach 1024.
struct KeyQueue {
  static constexpr int CAPACITY = 1024;
  std::array<KeyCode, CAPACITY> data{};
  int count = 0;
  int write_index = 0;
  int read_index = 0;

  bool full() const { return count == CAPACITY; }
  void push(KeyCode k);
  KeyCode pop();
};

inline constexpr int POLL_KEY = 1;
inline constexpr int POLL_BREAK = 2;
inline constexpr int POLL_RECEIVE = 4;

KeyCode translate_scan_code(int scan_code);
// Moves at most one console key into the queue; true when the queue holds a key.
bool poll_keyboard(Core& core);
// Waits for a key and takes the oldest; taking ESC ends the program.
KeyCode read_key(Core& core);
int poll_input(Core& core);

}  // namespace dravel
