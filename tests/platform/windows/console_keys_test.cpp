#include "platform/windows/console_keys.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/keys.h"
#include "core/keyboard.h"
#include "support/rig.h"
#include "terminal/state.h"

namespace dravel::platform {
namespace {

std::string bytes_of(const ConsoleKeyEvent& e) {
  std::deque<KeyCode> out;
  append_keys(e, out);
  return std::string(out.begin(), out.end());
}

ConsoleKeyEvent down(std::uint16_t vk, std::uint8_t ch = 0, std::uint16_t repeat = 1) {
  return {true, vk, ch, repeat};
}

TEST(ConsoleKeys, SpecialKeysComeAsTheKeyCodeOfTheSameName) {
  struct Case {
    std::uint16_t vk;
    KeyCode code;
  };
  const Case cases[] = {
      {VK_UP, key::UP},      {VK_DOWN, key::DOWN},  {VK_LEFT, key::LEFT}, {VK_RIGHT, key::RIGHT},
      {VK_INSERT, key::INS}, {VK_DELETE, key::DEL}, {VK_HOME, key::HOME}, {VK_END, key::END},
      {VK_PRIOR, key::PGUP}, {VK_NEXT, key::PGDN},  {VK_F1, key::F1},     {VK_F5, key::F5},
      {VK_F9, key::F9},      {VK_F10, key::F10},    {VK_F11, key::F11},   {VK_F12, key::F12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bytes_of(down(c.vk)), std::string(1, static_cast<char>(c.code))) << "vk " << c.vk;
  }
}

TEST(ConsoleKeys, CursorBlockIgnoresACharacterTheConsoleAttaches) {
  // Some consoles give Delete a DEL character; it must still be the Del key, not a byte 0x7F.
  EXPECT_EQ(bytes_of(down(VK_DELETE, 0x7F)), std::string(1, static_cast<char>(key::DEL)));
}

TEST(ConsoleKeys, CharactersComeAsThemselves) {
  EXPECT_EQ(bytes_of(down('A', 'a')), "a");
  EXPECT_EQ(bytes_of(down(VK_ESCAPE, 27)), "\x1b");
  EXPECT_EQ(bytes_of(down(VK_RETURN, '\r')), "\r");
  EXPECT_EQ(bytes_of(down('C', 3)), "\x03");        // Ctrl-C is a key for the target
  EXPECT_EQ(bytes_of(down(VK_NUMPAD8, '8')), "8");  // keypad with NumLock on
  EXPECT_EQ(bytes_of(down('E', 0xE9)), "\xE9");     // a code-page letter, not a lead
}

TEST(ConsoleKeys, EscAndOthersGetTheirCharacterWhenTheConsoleLeavesItOut) {
  EXPECT_EQ(bytes_of(down(VK_ESCAPE)), "\x1b");  // Wine's console on a terminal does this
  EXPECT_EQ(bytes_of(down(VK_RETURN)), "\r");
  EXPECT_EQ(bytes_of(down(VK_BACK)), "\b");
  EXPECT_EQ(bytes_of(down(VK_TAB)), "\t");
  EXPECT_EQ(bytes_of(down(VK_RETURN, '\n')), "\n");  // a character given wins (Ctrl-Enter)
}

TEST(ConsoleKeys, ReleasesAndBareModifiersGiveNothing) {
  EXPECT_EQ(bytes_of({false, 'A', 'a', 1}), "");
  EXPECT_EQ(bytes_of({false, VK_F1, 0, 1}), "");
  EXPECT_EQ(bytes_of({false, VK_ESCAPE, 0, 1}), "");
  EXPECT_EQ(bytes_of(down(VK_SHIFT)), "");
  EXPECT_EQ(bytes_of(down(VK_CONTROL)), "");
  EXPECT_EQ(bytes_of(down(VK_CAPITAL)), "");
}

TEST(ConsoleKeys, AltKeypadCharacterArrivesWithTheAltRelease) {
  EXPECT_EQ(bytes_of({false, VK_MENU, 0xE4, 1}), "\xE4");
}

TEST(ConsoleKeys, RepeatCountRepeatsTheKeyWithinABound) {
  EXPECT_EQ(bytes_of(down('X', 'x', 3)), "xxx");
  EXPECT_EQ(bytes_of(down(VK_UP, 0, 2)), std::string(2, static_cast<char>(key::UP)));
  EXPECT_EQ(bytes_of(down('X', 'x', 0)), "x");
  EXPECT_EQ(bytes_of(down('X', 'x', 60000)).size(), 64u);
}

// The console's keys through the keyboard layer, as the loop reads them.
TEST(ConsoleKeys, KeyboardLayerQueuesTranslatedKeys) {
  test::Rig rig;
  std::deque<KeyCode> out;
  append_keys(down(VK_F9), out);
  append_keys(down(VK_UP), out);
  append_keys(down('Q', 'q'), out);
  rig.console.type(std::string(out.begin(), out.end()));
  while (rig.console.keys_left()) poll_keyboard(rig.s().core);
  ASSERT_EQ(rig.s().core.keys.count, 3);
  EXPECT_EQ(rig.s().core.keys.pop(), key::F9);
  EXPECT_EQ(rig.s().core.keys.pop(), key::UP);
  EXPECT_EQ(rig.s().core.keys.pop(), 'q');
}

}  // namespace
}  // namespace dravel::platform
