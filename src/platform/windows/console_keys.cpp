#include "platform/windows/console_keys.h"

#include <windows.h>

#include <algorithm>

namespace dravel::platform {

namespace {

struct SpecialKey {
  std::uint16_t virtual_key;
  KeyCode key;
};

// The keys that come by virtual key, whatever Shift, Ctrl or Alt add.
constexpr SpecialKey SPECIAL_KEYS[] = {
    {VK_UP, key::UP},      {VK_DOWN, key::DOWN},  {VK_LEFT, key::LEFT}, {VK_RIGHT, key::RIGHT},
    {VK_INSERT, key::INS}, {VK_DELETE, key::DEL}, {VK_HOME, key::HOME}, {VK_END, key::END},
    {VK_PRIOR, key::PGUP}, {VK_NEXT, key::PGDN},  {VK_F1, key::F1},     {VK_F2, key::F2},
    {VK_F3, key::F3},      {VK_F4, key::F4},      {VK_F5, key::F5},     {VK_F6, key::F6},
    {VK_F7, key::F7},      {VK_F8, key::F8},      {VK_F9, key::F9},     {VK_F10, key::F10},
    {VK_F11, key::F11},    {VK_F12, key::F12},
};

struct FixedCharacter {
  std::uint16_t virtual_key;
  std::uint8_t ch;
};

// Keys whose character a console may leave out (Wine's gives ESC without one).
constexpr FixedCharacter FIXED_CHARACTERS[] = {
    {VK_ESCAPE, key::ESC},
    {VK_RETURN, key::CR},
    {VK_BACK, key::BACKSPACE},
    {VK_TAB, '\t'},
};

std::uint8_t character_of(const ConsoleKeyEvent& event) {
  if (event.ch != 0) return event.ch;
  for (const FixedCharacter& f : FIXED_CHARACTERS)
    if (f.virtual_key == event.virtual_key) return f.ch;
  return 0;
}

// A held key repeats at most this often per event; more would only flood the key queue.
constexpr std::uint16_t MAX_REPEAT = 64;

}  // namespace

KeyCode special_key(std::uint16_t virtual_key) {
  for (const SpecialKey& k : SPECIAL_KEYS)
    if (k.virtual_key == virtual_key) return k.key;
  return 0;
}

void append_keys(const ConsoleKeyEvent& event, std::deque<KeyCode>& out) {
  int times = std::clamp<int>(event.repeat, 1, MAX_REPEAT);
  if (!event.key_down) {
    // A character composed with Alt and the keypad arrives when Alt is let go.
    if (event.virtual_key == VK_MENU && event.ch != 0) out.push_back(event.ch);
    return;
  }
  // Special keys first, by virtual key: the separate cursor block and the keypad with NumLock
  // off share it, so both reach the same key codes.
  if (KeyCode k = special_key(event.virtual_key); k != 0) {
    out.insert(out.end(), static_cast<std::size_t>(times), k);
    return;
  }
  std::uint8_t ch = character_of(event);
  if (ch == 0) return;
  for (int i = 0; i < times; ++i) out.push_back(ch);
}

}  // namespace dravel::platform
