#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "commands/help_screens.h"
#include "core/program_exit.h"
#include "support/rig.h"
#include "terminal/command_table.h"

namespace dravel::test {
namespace {

// The screens as the user sees them, written out here rather than taken from the product.
const std::string KEY_MAP =
    "\x1b[36m       [F1]  [F2]  [F3]  [F4]    [F5]  [F6]  [F7]  [F8]    [F9]  [F10]\r\n"
    "       help  dos   auto  load    log   stamp       edit     -      -  \r\n"
    "[F9]+  help              dload  logstop                               \r\n"
    "[F10]+ help  quit        dsave \r\n"
    "\x1b[0m";
const std::string LONG_HELP =
    "\x1b[36m   Key functions                           Local command for auto\r\n"
    "-------------------------------------- | --------------------------------------\r\n"
    "  F1      - display this message       |  help\r\n"
    "  F2      - execute dos command        |  dos{sh,!} <dos command strings>\r\n"
    "  F10 F2  - exit this program          |  quit\r\n"
    "  F3      - auto operation             |  auto <filename>\r\n"
    "  F4      - formated file down load    |  load <filename>\r\n"
    "  F9 F4   - binary file down load      |  dload <filename> <address>\r\n"
    "  F10 F4  - binary file up load        |  dsave <filename> <address> <size>\r\n"
    "  F5      - operation logging start    |  log <filename>\r\n"
    "  F9 F5   - logging stop               |  log\r\n"
    "  F6      - time stamps: next mode     |  timestamps [abs|delta|iso|off] [screen]\r\n"
    "  F8      - local edit mode toggle     |  \r\n"
    "                                       |  auto-again\r\n"
    "                                       |  wait-prompt\r\n"
    "                                       |  sleep <sec>\r\n"
    "                                       |  pause [<strings>]\r\n"
    "                                       |  echo <strings>\r\n"
    "                                       |  beep\r\n"
    "                                       |  expect [-t <sec>] <text>\r\n"
    "                                       |  exit [<status>]\r\n"
    "                                       |  break [<ms>]\r\n"
    "                                       |  dtr on|off|pulse <ms>\r\n"
    "                                       |  rts on|off|pulse <ms>\r\n"
    "\x1b[0m";
const std::string F9_HELP =
    "\x1b[36m    F9 F4   - binary file down load\r\n    F9 F5   - logging stop\r\n\x1b[0m";
const std::string F10_HELP =
    "\x1b[36m    F10 F2  - exit this program\r\n    F10 F4  - binary file up load\r\n\x1b[0m";
const std::string MORE = "\x1b[32mmore ?(y/N)\x1b[0m ";

struct DispatchTest : ::testing::Test {
  Rig rig;
  State& s = rig.s();

  Outcome local(const std::string& line) {
    std::string buf = line;
    return run_local_command(s, buf.data());
  }
};

TEST(MatchCommandName, NeedsNoSeparatorAndFoldsCase) {
  char lds[] = "lds  x ";
  EXPECT_STREQ(match_command_name("lds", lds), "x ");  // trailing blanks stay
  EXPECT_STREQ(match_command_name("ld", lds), "s  x ");
  char loadfile[] = "LoadFile";
  EXPECT_STREQ(match_command_name("load", loadfile), "File");
  char bang[] = "!dir";
  EXPECT_STREQ(match_command_name("!", bang), "dir");
  char help[] = "HELP";
  EXPECT_STREQ(match_command_name("help", help), "");
  EXPECT_EQ(match_command_name("helpf9", help), nullptr);
  char empty[] = "";
  EXPECT_EQ(match_command_name("log", empty), nullptr);
}

TEST(MatchCommandName, TableOrderPutsLongerNamesFirst) {
  auto first_row = [](const char* line) -> std::string {
    std::string buf = line;
    for (const CommandRow& row : COMMAND_ROWS)
      if (match_command_name(row.name, buf.data()) != nullptr) return row.name;
    return "";
  };
  EXPECT_EQ(first_row("lds x"), "lds");
  EXPECT_EQ(first_row("ld x"), "ld");
  EXPECT_EQ(first_row("helpf1"), "help");
  EXPECT_EQ(first_row("helpf10"), "helpf10");
  EXPECT_EQ(first_row("auto-again"), "auto-again");
  EXPECT_EQ(first_row("autoexec.scr"), "auto");
  EXPECT_EQ(first_row("log"), "log");
}

TEST_F(DispatchTest, LocalLinesReachTheirRowsWithTheArgument) {
  EXPECT_EQ(local("  ECHO  hi there "), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "hi there \n\r");
  EXPECT_EQ(local("echo"), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "\n\r");
  EXPECT_EQ(local("helpf1"), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), LONG_HELP);
  EXPECT_EQ(local("HELPF10"), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), F10_HELP);
  EXPECT_EQ(local("beep"), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "\a");
  EXPECT_EQ(local("quit"), Outcome::Quit);
}

TEST_F(DispatchTest, UnknownLineAsksMoreAndEmptyLineIsAQuestionMark) {
  rig.console.type("n");
  EXPECT_EQ(local("xyz"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), KEY_MAP + MORE + "n\r\n");
  EXPECT_EQ(local("  \t"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), "?\n\r");
}

TEST_F(DispatchTest, PrefixSelectsTheHelpScreen) {
  EXPECT_EQ(dispatch_key(s, key::F1, 1), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "\n\r" + F9_HELP);
  EXPECT_EQ(dispatch_key(s, key::F1, 2), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "\n\r" + F10_HELP);
  rig.console.type("Y");
  EXPECT_EQ(dispatch_key(s, key::F1, 0), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "\n\r" + KEY_MAP + MORE + "\r\x1b[K\n" + LONG_HELP);
}

TEST_F(DispatchTest, KeysWithoutARowOnlyAsk) {
  for (KeyCode k : {key::F7, key::F11, key::F12, key::UP, key::PGDN}) {
    EXPECT_EQ(dispatch_key(s, k, 0), Outcome::Failed);
    EXPECT_EQ(rig.console.take_screen(), "?\n\r");
  }
  EXPECT_EQ(dispatch_key(s, key::F9, 1), Outcome::Failed);
  EXPECT_EQ(dispatch_key(s, key::F2, 3), Outcome::Failed);  // the reserved column has no keys
  EXPECT_EQ(rig.console.take_screen(), "?\n\r?\n\r");
}

TEST_F(DispatchTest, EditToggleWorksUnderEveryPrefix) {
  rig.open_port();
  for (int prefix : {0, 1, 2}) {
    bool before = s.edit_mode;
    s.link.prompt_seen = true;
    EXPECT_EQ(dispatch_key(s, key::F8, prefix), Outcome::Done);
    EXPECT_NE(s.edit_mode, before);
    EXPECT_FALSE(s.link.prompt_seen);
  }
  EXPECT_EQ(s.link.tx.count, 3);
  EXPECT_EQ(s.link.tx.data[0], 0x15);
}

TEST_F(DispatchTest, QuitKeyEndsAndLogsButTheLocalLineDoesNotLog) {
  TempDir dir;
  std::string log = dir.file("op.log");
  EXPECT_EQ(local("log " + log), Outcome::Done);
  EXPECT_EQ(local("quit"), Outcome::Quit);
  EXPECT_EQ(dispatch_key(s, key::F2, 2), Outcome::Quit);
  EXPECT_EQ(TempDir::read(log), "local quit\n");
}

}  // namespace
}  // namespace dravel::test
