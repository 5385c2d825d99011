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
  int load(std::string text) { return load_command(rig.s().link, text.data()); }
  std::string not_found(const std::string& name) { return " \"" + name + "\" not found\a\n\r"; }
};

TEST_F(LoadCommand, DetectsFormatsByTheirFirstBytes) {
  struct Case {
    std::string content;
    LoadFormat format;
  };
  const Case cases[] = {
      {"S1whatever", FORMAT_SREC},
      {"S9", FORMAT_SREC},
      {"SX0000", FORMAT_UNKNOWN},
      {"S\n", FORMAT_UNKNOWN},
      {"S", FORMAT_UNKNOWN},
      {"KV-R EXE" + std::string(8, '\0'), FORMAT_EXE},
      {"KV-R EXE", FORMAT_EXE},
      {"KV-R", FORMAT_UNKNOWN},
      {"KV-R EX", FORMAT_UNKNOWN},
      {std::string("\x62\x01", 2), FORMAT_COFF},
      {std::string("\x62\x01\xff\xff", 4), FORMAT_COFF},
      {std::string("\x01\x62", 2), FORMAT_UNKNOWN},
      {"", FORMAT_UNKNOWN},
  };
  for (const Case& c : cases) {
    std::string f = dir.write("f", c.content);
    EXPECT_EQ(detect_format(rig.s().link, f.c_str()), c.format) << c.content;
  }
  EXPECT_EQ(rig.console.screen, "");
  EXPECT_EQ(detect_format(rig.s().link, dir.file("none").c_str()), FORMAT_UNKNOWN);
  EXPECT_EQ(rig.console.screen,
            "Can't open \"" + dir.file("none") + "\": No such file or directory\n\r");
}

TEST_F(LoadCommand, UnknownFormatAndMissingFilesSendNothing) {
  std::string odd = dir.write("odd.bin", "hello");
  EXPECT_EQ(load(odd), -1);
  EXPECT_EQ(rig.console.take_screen(), " \"" + odd + "\" unknown format\a\n\r");
  EXPECT_EQ(load(" " + dir.file("missing.mot") + " " + odd), -1);
  EXPECT_EQ(rig.console.take_screen(), not_found(dir.file("missing.mot")));
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "");
}

TEST_F(LoadCommand, EmptyTextDoesNothing) {
  EXPECT_EQ(load(""), 0);
  EXPECT_EQ(load(" \t\r\n"), 0);
  EXPECT_EQ(rig.console.screen, "");
}

TEST_F(LoadCommand, OptionsAreTheLetterAndOneBlankAtTheStart) {
  EXPECT_EQ(load("-s"), -1);
  EXPECT_EQ(rig.console.take_screen(), not_found("-s"));
  EXPECT_EQ(load("  -s\tx"), -1);
  EXPECT_EQ(rig.console.take_screen(), not_found("-s"));
  EXPECT_EQ(load("-x a"), -1);
  EXPECT_EQ(rig.console.take_screen(), not_found("-x"));
  EXPECT_EQ(load("-v   nofile"), -1);
  EXPECT_EQ(rig.console.take_screen(), not_found("nofile"));
}

TEST_F(LoadCommand, LoadsEveryNameInOrderEachWithItsOwnCommand) {
  std::string a = dir.write("a.mot", "S1030000FC\r\n");
  std::string b = dir.write("b.mot", "S1030001FB\r\n");
  EXPECT_EQ(load("-s " + a + "  \t" + b + "   "), 0);
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "ld2\rG\nS1030000FC\nld2\rG\nS1030001FB\n");
  EXPECT_EQ(rig.console.take_screen(), "\r\r");  // quiet

  EXPECT_EQ(load("-v " + a), 0);
  std::string verbose = rig.console.take_screen();
  EXPECT_EQ(load(a), 0);
  EXPECT_EQ(rig.console.take_screen(), verbose);
  EXPECT_NE(verbose.find("1 lines"), std::string::npos);
}

TEST_F(LoadCommand, FirstFailureStopsTheRest) {
  std::string b = dir.write("b.mot", "S1030001FB\n");
  EXPECT_EQ(load(dir.file("missing.mot") + " " + b), -1);
  EXPECT_EQ(rig.console.screen, not_found(dir.file("missing.mot")));
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "");

  // A file with a line that is not a record stops the command before anything is sent, not
  // even the monitor's load command.
  std::string bad = dir.write("bad.mot", "S1030000FC\nS1\n");
  rig.console.take_screen();
  EXPECT_EQ(load(bad + " " + b), -1);
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
  EXPECT_EQ(load_command(rig.s().link, text.data()), 0);
  EXPECT_STREQ(text.c_str(), a.c_str());
}

TEST_F(LoadCommand, KeyPromptsLogsAndLoads) {
  std::string log = dir.file("op.log");
  ASSERT_TRUE(rig.s().log_file.open(log.c_str(), "w"));
  rig.console.type("\r");
  EXPECT_EQ(dispatch_key(rig.s(), key::F4, PREFIX_NONE), 0);
  EXPECT_NE(rig.console.screen.find("\x1b[32mLoad"), std::string::npos);

  std::string a = dir.write("a.mot", "S1030000FC\n");
  rig.console.type(a + "\r");
  EXPECT_EQ(dispatch_key(rig.s(), key::F4, PREFIX_NONE), 0);
  rig.s().log_file.close();
  EXPECT_EQ(TempDir::read(log), "local load \nlocal load " + a + "\n");
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "ld2\rG\nS1030000FC\n");
}

}  // namespace
}  // namespace dravel::test
