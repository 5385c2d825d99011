#include "commands/general_commands.h"

#include <gtest/gtest.h>

#include <string>

#include "support/rig.h"
#include "terminal/command_table.h"

namespace dravel::test {
namespace {

struct GeneralCommandsTest : ::testing::Test {
  Rig rig;
  State& s = rig.s();
  TempDir dir;

  Outcome local(const std::string& line) {
    std::string buf = line;
    return run_local_command(s, buf.data());
  }
};

TEST_F(GeneralCommandsTest, EveryShellSpellingRunsTheSameCommandLine) {
  for (const char* line : {"sh cmd", "! cmd", "!cmd", "dos   cmd", "DOS cmd"})
    EXPECT_EQ(local(line), Outcome::Done);
  EXPECT_EQ(rig.shell.commands, std::vector<std::string>(5, "cmd"));
  EXPECT_EQ(local("dos"), Outcome::Done);
  EXPECT_EQ(rig.shell.commands.back(), "");
}

TEST_F(GeneralCommandsTest, DosPromptLogsTheLineBeforeRunningIt) {
  std::string log = dir.file("op.log");
  local("log " + log);
  rig.shell.commands.clear();
  rig.console.take_screen();
  rig.console.type("dir\r");
  EXPECT_EQ(dispatch_key(s, key::F2, 1), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "\n\r\x1b[32mDos[1]#\x1b[0m dir\r\n");
  EXPECT_EQ(rig.shell.commands, std::vector<std::string>{"dir"});
  EXPECT_EQ(TempDir::read(log), "local dos dir\n");

  rig.console.type("\r");  // an empty answer neither logs nor runs
  EXPECT_EQ(dispatch_key(s, key::F2, 0), Outcome::Done);
  EXPECT_EQ(rig.shell.commands.size(), 1u);
  EXPECT_EQ(TempDir::read(log), "local dos dir\n");
}

TEST_F(GeneralCommandsTest, LogCreatesThenAppends) {
  std::string name = dir.file("op.log");
  EXPECT_EQ(local("log   " + name), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "start log into \"" + name + "\"\n\r");
  s.log_file.write("one\n");
  EXPECT_EQ(local("log " + name), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "start log append into \"" + name + "\"\n\r");
  s.log_file.write("two\n");
  EXPECT_EQ(local("log"), Outcome::Done);  // stops silently
  EXPECT_EQ(rig.console.take_screen(), "");
  EXPECT_FALSE(s.log_file.is_open());
  EXPECT_EQ(TempDir::read(name), "one\ntwo\n");
}

TEST_F(GeneralCommandsTest, UnopenableLogClosesTheOldOneAndSaysSo) {
  local("log " + dir.file("a.log"));
  std::string bad = dir.file("no/such/dir.log");
  EXPECT_EQ(local("log " + bad), Outcome::Done);
  EXPECT_NE(rig.console.screen.find("\"" + bad + "\" can't open: No such file or directory\n\r"),
            std::string::npos);
  EXPECT_FALSE(s.log_file.is_open());
}

TEST_F(GeneralCommandsTest, LogKeysPromptOrStop) {
  std::string name = dir.file("k.log");
  rig.console.type(name + "\r");
  rig.console.take_screen();
  EXPECT_EQ(dispatch_key(s, key::F5, 0), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(),
            "\n\r\x1b[32mLog[1]:\x1b[0m " + name + "\r\nstart log into \"" + name + "\"\n\r");
  EXPECT_TRUE(s.log_file.is_open());
  for (int prefix : {1, 2}) {
    EXPECT_EQ(dispatch_key(s, key::F5, prefix), Outcome::Done);
    EXPECT_EQ(rig.console.take_screen(), "\n\rlog off\n\r");
    EXPECT_FALSE(s.log_file.is_open());
  }
}

}  // namespace
}  // namespace dravel::test
