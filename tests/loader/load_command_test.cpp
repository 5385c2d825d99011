#include "loader/load_command.h"

#include <gtest/gtest.h>

#include <cstring>

#include "loader/loader_support.h"
#include "support/rig.h"
#include "terminal/command_table.h"

namespace dravel::test {
namespace {

struct LoadCommand : ::testing::Test {
  SrecMonitor monitor;
  Rig rig{monitor.peer};
  TempDir dir;

  void SetUp() override { rig.open_port(); }
  Outcome load(std::string text) { return rig.shown(load_command(rig.s().link, text.data())); }
  std::string not_found(const std::string& name) { return " \"" + name + "\" not found\a\n\r"; }
};

TEST_F(LoadCommand, DetectsFormatsByTheirFirstBytes) {
  struct Case {
    std::string content;
    LoadFormat format;
  };
  const Case cases[] = {
      {"S1whatever", LoadFormat::Srec},
      {"S9", LoadFormat::Srec},
      {"SX0000", LoadFormat::Unknown},
      {"S\n", LoadFormat::Unknown},
      {"S", LoadFormat::Unknown},
      {"KV-R EXE" + std::string(8, '\0'), LoadFormat::Exe},
      {"KV-R EXE", LoadFormat::Exe},
      {"KV-R", LoadFormat::Unknown},
      {"KV-R EX", LoadFormat::Unknown},
      {std::string("\x62\x01", 2), LoadFormat::Coff},
      {std::string("\x62\x01\xff\xff", 4), LoadFormat::Coff},
      {std::string("\x01\x62", 2), LoadFormat::Unknown},
      {"", LoadFormat::Unknown},
  };
  for (const Case& c : cases) {
    std::string f = dir.write("f", c.content);
    std::string why;
    EXPECT_EQ(detect_format(f.c_str(), why), c.format) << c.content;
    EXPECT_EQ(why, "");
  }
  std::string why;
  EXPECT_EQ(detect_format(dir.file("none").c_str(), why), LoadFormat::Unknown);
  EXPECT_EQ(why, "Can't open \"" + dir.file("none") + "\": No such file or directory\n\r");
}

TEST_F(LoadCommand, UnknownFormatAndMissingFilesSendNothing) {
  std::string odd = dir.write("odd.bin", "hello");
  EXPECT_EQ(load(odd), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), " \"" + odd + "\" unknown format\a\n\r");
  EXPECT_EQ(load(" " + dir.file("missing.mot") + " " + odd), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), not_found(dir.file("missing.mot")));
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "");
}

TEST_F(LoadCommand, EmptyTextDoesNothing) {
  EXPECT_EQ(load(""), Outcome::Done);
  EXPECT_EQ(load(" \t\r\n"), Outcome::Done);
  EXPECT_EQ(rig.console.screen, "");
}

TEST_F(LoadCommand, OptionsAreTheLetterAndOneBlankAtTheStart) {
  EXPECT_EQ(load("-s"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), not_found("-s"));
  EXPECT_EQ(load("  -s\tx"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), not_found("-s"));
  EXPECT_EQ(load("-x a"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), not_found("-x"));
  EXPECT_EQ(load("-v   nofile"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), not_found("nofile"));
}

TEST_F(LoadCommand, LoadsEveryNameInOrderEachWithItsOwnCommand) {
  std::string a = dir.write("a.mot", "S1030000FC\r\n");
  std::string b = dir.write("b.mot", "S1030001FB\r\n");
  EXPECT_EQ(load("-s " + a + "  \t" + b + "   "), Outcome::Done);
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "ld2\rG\nS1030000FC\nld2\rG\nS1030001FB\n");
  EXPECT_EQ(rig.console.take_screen(), "\r\r");  // quiet

  EXPECT_EQ(load("-v " + a), Outcome::Done);
  std::string verbose = rig.console.take_screen();
  EXPECT_EQ(load(a), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), verbose);
  EXPECT_NE(verbose.find("1 lines"), std::string::npos);
}

TEST_F(LoadCommand, FirstFailureStopsTheRest) {
  std::string b = dir.write("b.mot", "S1030001FB\n");
  EXPECT_EQ(load(dir.file("missing.mot") + " " + b), Outcome::Failed);
  EXPECT_EQ(rig.console.screen, not_found(dir.file("missing.mot")));
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "");

  // A file with a line that is not a record stops the command before anything is sent, not
  // even the monitor's load command.
  std::string bad = dir.write("bad.mot", "S1030000FC\nS1\n");
  rig.console.take_screen();
  EXPECT_EQ(load(bad + " " + b), Outcome::Failed);
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "");
  EXPECT_EQ(rig.console.take_screen(),
            "\"" + bad +
                "\" is not S-format file\n\r line 2 has an odd or missing "
                "count of digits\n\r");
}

TEST_F(LoadCommand, ArgumentIsTerminatedAfterEachName) {
  std::string a = dir.write("a.mot", "S1030000FC\n");
  std::string text = a + " " + a;
  EXPECT_TRUE(load_command(rig.s().link, text.data()).ok());
  EXPECT_STREQ(text.c_str(), a.c_str());
}

TEST_F(LoadCommand, KeyPromptsLogsAndLoads) {
  std::string log = dir.file("op.log");
  ASSERT_TRUE(rig.s().log_file.open(log.c_str(), "w"));
  rig.console.type("\r");
  EXPECT_EQ(dispatch_key(rig.s(), key::F4, PREFIX_NONE), Outcome::Done);
  EXPECT_NE(rig.console.screen.find("\x1b[32mLoad"), std::string::npos);

  std::string a = dir.write("a.mot", "S1030000FC\n");
  rig.console.type(a + "\r");
  EXPECT_EQ(dispatch_key(rig.s(), key::F4, PREFIX_NONE), Outcome::Done);
  rig.s().log_file.close();
  EXPECT_EQ(TempDir::read(log), "local load \nlocal load " + a + "\n");
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "ld2\rG\nS1030000FC\n");
}

}  // namespace
}  // namespace dravel::test
