#include "lineinput/prompted_input.h"

#include <gtest/gtest.h>

#include <string>

#include "lineinput/history.h"
#include "lineinput/line_editor.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

const std::string PREV = "\x05", NEXT = "\x18", TAB = "\t", LF = "\n", CLEAR = "\x19", CR = "\r";

struct PromptedInputTest : ::testing::Test {
  Rig rig;
  State& s = rig.s();
  char line[64] = {};

  void remember(std::initializer_list<const char*> lines) {
    for (const char* l : lines) history_add(s.history, rig.console, l);
  }
  // Accepted lines move in the history: start each check from the same list.
  void fresh(std::initializer_list<const char*> lines) {
    while (s.history.oldest != nullptr) {
      HistoryEntry* e = s.history.oldest;
      s.history.oldest = e->newer;
      delete e;
    }
    s.history.newest = nullptr;
    s.history.entry_count = s.history.total_added = 0;
    remember(lines);
  }
  // Types `keys` at a "P%s>" prompt; returns the accepted line.
  std::string ask(const std::string& keys, int flags = LINE_FLAG_NEWLINE) {
    rig.console.type(keys);
    rig.console.take_screen();
    return prompted_input(s.core, s.history, "P%s>", line, 63, flags);
  }
  std::string screen() { return rig.console.take_screen(); }
};

TEST_F(PromptedInputTest, AcceptedLinesAreNumberedAndRemembered) {
  EXPECT_EQ(ask("ls" + CR), "ls");
  EXPECT_EQ(screen(), "P[1]>ls\r\n");
  EXPECT_EQ(ask("dir" + CR, 0), "dir");
  EXPECT_EQ(screen(), "P[2]>dir");
  EXPECT_EQ(ask("   " + CR), "   ");  // returned but not remembered
  EXPECT_EQ(s.history.total_added, 2);
}

TEST_F(PromptedInputTest, RecallWrapsFromEitherEnd) {
  remember({"a", "b", "c"});
  EXPECT_EQ(ask(PREV + CR), "c");
  EXPECT_EQ(screen(), "P[4]>\r\x1b[KP[3/3]>c\r\n");
  EXPECT_EQ(ask(PREV + PREV + PREV + PREV + CR), "c");
  EXPECT_EQ(ask(PREV + PREV + PREV + CR), "a");
  fresh({"a", "b", "c"});
  EXPECT_EQ(ask(NEXT + CR), "b");  // the fresh line stands in the oldest's place
  fresh({"a", "b", "c"});
  EXPECT_EQ(ask(PREV + NEXT + CR), "a");
}

TEST_F(PromptedInputTest, SingleEntryRecalledForwardKeepsTheFreshNumber) {
  remember({"only"});
  EXPECT_EQ(ask(NEXT + CR), "only");
  EXPECT_EQ(screen(), "P[2]>\r\x1b[KP[2]>only\r\n");
}

TEST_F(PromptedInputTest, EmptyHistoryRecallEmptiesAndSearchKeeps) {
  EXPECT_EQ(ask("ab" + PREV + CR), "");
  EXPECT_EQ(ask("ab" + TAB + LF + CR), "ab");
  EXPECT_EQ(screen(), "P[1]>ab\r\x1b[KP[1]>ab\r\x1b[KP[1]>ab\r\n");
}

TEST_F(PromptedInputTest, PrefixSearchKeepsItsPrefixWhileBrowsing) {
  remember({"ls", "dir", "dump"});
  EXPECT_EQ(ask("d" + TAB + TAB + TAB + TAB + CR), "dir");
  fresh({"ls", "dir", "dump"});
  EXPECT_EQ(ask("d" + TAB + TAB + LF + CR), "dump");
  // Editing a recalled line does not start a new search.
  fresh({"ls", "dir", "dump"});
  EXPECT_EQ(ask("d" + TAB + "\x08\x08\x08" + TAB + CR), "dir");
  EXPECT_EQ(ask(TAB + CR), "");
  EXPECT_EQ(screen(), "P[5]>\r\x1b[KP[5]>\r\n");
}

TEST_F(PromptedInputTest, ClearReturnsToAFreshLine) {
  remember({"a"});
  EXPECT_EQ(ask(PREV + CLEAR + "x" + CR), "x");
  EXPECT_EQ(screen(), "P[2]>\r\x1b[KP[1/1]>a\b \b\r\x1b[KP[2]>x\r\n");
}

TEST_F(PromptedInputTest, HisListsNumberedEntriesAndIsNotRemembered) {
  for (int i = 0; i < 4; ++i) remember({"a", "b", "c"});
  EXPECT_EQ(ask("his" + CR + PREV + CR), "c");
  EXPECT_EQ(screen(), "P[13]>his\r\n  10: a\n\r  11: b\n\r  12: c\n\rP[13]>\r\x1b[KP[12/12]>c\r\n");
  EXPECT_EQ(ask("HIS" + CR + "x" + CR, 0), "x");
  EXPECT_EQ(screen().substr(0, 14), "P[14]>HIS\r\n  1");
  EXPECT_EQ(s.history.entry_count, 4);
}

TEST_F(PromptedInputTest, HisWithAnEmptyHistoryIsAnOrdinaryLine) {
  EXPECT_EQ(ask("his" + CR), "his");
  EXPECT_EQ(s.history.newest->text, "his");
}

TEST_F(PromptedInputTest, SpecialKeyEndsEditInputAndKeepsTheTextInTheHistory) {
  EXPECT_EQ(ask("abc" + fkey(3), LINE_FLAG_SPECIAL_ENDS), "\xf3");
  EXPECT_EQ(screen(), "P[1]>abc");
  EXPECT_EQ(s.history.newest->text, "abc");
  EXPECT_EQ(ask(fkey(5), LINE_FLAG_SPECIAL_ENDS), "\xf5");
  EXPECT_EQ(s.history.total_added, 1);
}

TEST_F(PromptedInputTest, PromptLineIgnoresSpecialKeys) {
  rig.console.type("a" + fkey(3) + CR);
  EXPECT_STREQ(prompt_line(s.core, s.history, "\x1b[32mDos%s#\x1b[0m ", line, 63), "a");
  EXPECT_EQ(screen(), "\x1b[32mDos[1]#\x1b[0m a\r\n");
}

}  // namespace
}  // namespace dravel::test
