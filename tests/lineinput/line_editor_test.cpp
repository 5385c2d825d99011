#include "lineinput/line_editor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/rig.h"

namespace dravel::test {
namespace {

// Control keys as typed.
const std::string LEFT = "\x13", RIGHT = "\x04", HOME = "\x01", END = "\x06", BS = "\x08",
                  DEL = "\x07", KILL = "\x0b", CLEAR = "\x19", CR = "\r";

struct LineEditorTest : ::testing::Test {
  Rig rig;
  char line[64] = {};
  int ended = -1;

  // Runs the editor on `initial` and returns what it wrote after redrawing `initial`.
  std::string edit(const std::string& initial, const std::string& typed, int flags = 0,
                   int capacity = 63) {
    std::strcpy(line, initial.c_str());
    rig.console.type(typed);
    rig.console.take_screen();
    ended = edit_line(rig.s().core, line, capacity, line_edit_keys, line_terminators, flags);
    std::string screen = rig.console.take_screen();
    EXPECT_EQ(screen.substr(0, initial.size()), initial);
    return screen.substr(initial.size());
  }
};

TEST_F(LineEditorTest, TypingInsideTheLineRedrawsItsRest) {
  EXPECT_EQ(edit("abc", LEFT + LEFT + "X" + CR), "\b\bbbc\b\b\bX");
  EXPECT_STREQ(line, "aXbc");
  EXPECT_EQ(ended, 0x0D);
  EXPECT_EQ(edit("", "hi" + CR), "hi");
  EXPECT_STREQ(line, "hi");
}

TEST_F(LineEditorTest, DeletingRedrawsTheRestAndBlanksTheFreedColumn) {
  EXPECT_EQ(edit("abcd", LEFT + LEFT + BS + CR), "\b\b\bcd \b\b\b");
  EXPECT_STREQ(line, "acd");
  EXPECT_EQ(edit("abcd", HOME + RIGHT + DEL + CR), "\b\b\b\bacd \b\b\b");
  EXPECT_STREQ(line, "acd");
  EXPECT_EQ(edit("abcd", LEFT + LEFT + KILL + CR), "\b\b  \b\b");
  EXPECT_STREQ(line, "ab");
}

TEST_F(LineEditorTest, KeysAtTheEndsOfTheLineDoNothing) {
  EXPECT_EQ(edit("ab", DEL + RIGHT + KILL + HOME + BS + LEFT + END + CR), "\b\bab");
  EXPECT_STREQ(line, "ab");
  EXPECT_EQ(edit("", BS + DEL + LEFT + RIGHT + KILL + CR), "");
}

TEST_F(LineEditorTest, ClearLineBlanksItAndEndsInput) {
  EXPECT_EQ(edit("abcde", HOME + RIGHT + RIGHT + CLEAR), "\b\b\b\b\bab\b\b     \b\b\b\b\b");
  EXPECT_STREQ(line, "");
  EXPECT_EQ(ended, 0x19);
}

TEST_F(LineEditorTest, TerminatorsEndWithoutOutputWhereverTheCursorIs) {
  for (char t : {'\r', '\x05', '\x18', '\t', '\n'}) {
    EXPECT_EQ(edit("abc", LEFT + std::string(1, t)), "\b");
    EXPECT_STREQ(line, "abc");
    EXPECT_EQ(ended, t);
  }
}

TEST_F(LineEditorTest, BellForStrayControlsAndAFullLine) {
  EXPECT_EQ(edit("ab", "\x02\x0e" + std::string("c") + "d" + CR, 0, 3), "\a\ac\a");
  EXPECT_STREQ(line, "abc");
}

TEST_F(LineEditorTest, SpecialKeysEndInputOnlyWithTheFlag) {
  EXPECT_EQ(edit("ab", keys(key::UP) + "\x7f" + CR), "");
  EXPECT_STREQ(line, "ab");
  EXPECT_EQ(edit("ab", fkey(3), LINE_FLAG_SPECIAL_ENDS), "");
  EXPECT_EQ(ended, key::F3);
  EXPECT_STREQ(line, "ab");
  // A full line rings first, with or without the flag.
  EXPECT_EQ(edit("abc", keys(key::UP) + CR, 0, 3), "\a");
  EXPECT_EQ(edit("abc", keys(key::DOWN), LINE_FLAG_SPECIAL_ENDS, 3), "\a");
  EXPECT_EQ(ended, key::DOWN);
}

}  // namespace
}  // namespace dravel::test
