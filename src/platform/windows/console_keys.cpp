#include "platform/windows/console_keys.h"

#include <windows.h>

#include <algorithm>

namespace dravel::platform {

namespace {

struct SpecialKey {
  std::uint16_t virtual_key;
  std::uint8_t scan;
};

// The codes a PC BIOS gives for these keys without Shift, Ctrl or Alt.
constexpr SpecialKey SPECIAL_KEYS[] = {
    {VK_UP, 0x48},     {VK_DOWN, 0x50}, {VK_LEFT, 0x4B}, {VK_RIGHT, 0x4D}, {VK_INSERT, 0x52},
    {VK_DELETE, 0x53}, {VK_HOME, 0x47}, {VK_END, 0x4F},  {VK_PRIOR, 0x49}, {VK_NEXT, 0x51},
    {VK_F1, 0x3B},     {VK_F2, 0x3C},   {VK_F3, 0x3D},   {VK_F4, 0x3E},    {VK_F5, 0x3F},
    {VK_F6, 0x40},     {VK_F7, 0x41},   {VK_F8, 0x42},   {VK_F9, 0x43},    {VK_F10, 0x44},
    {VK_F11, 0x85},    {VK_F12, 0x86},
};

struct FixedCharacter {
  std::uint16_t virtual_key;
  std::uint8_t ch;
};

// Keys whose character a console may leave out (Wine's gives ESC without one).
constexpr FixedCharacter FIXED_CHARACTERS[] = {
    {VK_ESCAPE, 27},
    {VK_RETURN, '\r'},
    {VK_BACK, 8},
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

std::uint8_t special_key_scan(std::uint16_t virtual_key) {
  for (const SpecialKey& k : SPECIAL_KEYS)
    if (k.virtual_key == virtual_key) return k.scan;
  return 0;
}

void append_key_bytes(const ConsoleKeyEvent& event, std::deque<std::uint8_t>& out) {
  int times = std::clamp<int>(event.repeat, 1, MAX_REPEAT);
  if (!event.key_down) {
    // A character composed with Alt and the keypad arrives when Alt is let go.
    if (event.virtual_key == VK_MENU && event.ch != 0) out.push_back(event.ch);
    return;
  }
  // Special keys first, by virtual key: the separate cursor block (which conio leads with 0xE0)
  // and the keypad with NumLock off share it, so both come out with the 0 lead and reach the
  // same key codes.
  if (std::uint8_t scan = special_key_scan(event.virtual_key); scan != 0) {
    for (int i = 0; i < times; ++i) {
      out.push_back(0);
      out.push_back(scan);
    }
    return;
  }
  std::uint8_t ch = character_of(event);
  if (ch == 0) return;
  for (int i = 0; i < times; ++i) out.push_back(ch);
}

}  // namespace dravel::platform
