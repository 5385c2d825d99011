// Stamps on the board's lines through the loop, on the manual clock (its local time is UTC):
// a line stamped when its first byte comes, our own log lines left as they are, the screen
// unchanged unless asked, and F6 taking the next mode.
#include "commands/timestamps.h"

#include <gtest/gtest.h>

#include <string>

#include "support/rig.h"
#include "terminal/command_table.h"

namespace dravel::test {
namespace {

struct TimestampsTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  State& s = rig.s();
  std::string log = rig.home.file("session.log");

  void SetUp() override {
    rig.clock.ms = 1'765'285'559'123;  // 2025-12-09 13:05:59.123 UTC
    rig.open_port();
    ASSERT_TRUE(s.log_file.open(log.c_str(), "w"));
  }
  // The board says `bytes`, `later_ms` after now, and the loop takes them in.
  void board(const std::string& bytes, std::int64_t later_ms = 0) {
    rig.clock.advance_ms(later_ms);
    peer.say(bytes);
    rig.pass_until([&] { return peer.outgoing.empty(); });
  }
  Outcome local(std::string line) { return run_local_command(s, line.data()); }
};

TEST_F(TimestampsTest, EachModeStampsALineWhenItsFirstByteComes) {
  struct Case {
    const char* mode;
    const char* log;
  };
  const Case cases[] = {
      {"abs",
       "[13:05:59.123] KRVB7100 monitor\r\n[13:06:00.623] >> local dos ls\n"
       "[13:06:00.723] ok\r\n"},
      {"iso",
       "[2025-12-09T13:05:59.123] KRVB7100 monitor\r\n"
       "[2025-12-09T13:06:00.623] >> local dos ls\n[2025-12-09T13:06:00.723] ok\r\n"},
      {"delta", "[+0.000] KRVB7100 monitor\r\n[+1.500] >> local dos ls\n[+0.100] ok\r\n"},
      {"off", "KRVB7100 monitor\r\n>> local dos ls\nok\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_EQ(local(std::string("timestamps ") + c.mode), Outcome::Done);
    ASSERT_TRUE(s.log_file.open(log.c_str(), "w"));
    rig.console.take_screen();
    board("KRVB7");
    board("100 monitor\r", 1000);  // the line's stamp is its first byte's time
    board("\n>", 500);
    board("> ");
    rig.console.type(fkey(2) + "ls\r");  // a local line, in the middle of the board's
    rig.pass_until([&] { return !rig.console.keys_left(); });
    board("ok\r\n", 100);
    EXPECT_EQ(TempDir::read(log), c.log);
    const std::string screen = rig.console.take_screen();  // the screen as it was
    EXPECT_TRUE(screen.starts_with("KRVB7100 monitor\r\n>> ")) << screen;
    EXPECT_TRUE(screen.ends_with("\nok\r\n")) << screen;
    rig.clock.ms = 1'765'285'559'123;
  }
}

TEST_F(TimestampsTest, TheScreenIsStampedOnlyWhenAskedAndF6TakesTheNextMode) {
  ASSERT_EQ(local("timestamps delta screen"), Outcome::Done);
  EXPECT_EQ(rig.console.take_screen(), "timestamps delta on the log and the screen\n\r");
  board("a\r\nb", 0);
  board("c\r\n", 250);
  EXPECT_EQ(rig.console.take_screen(), "[+0.000] a\r\n[+0.000] bc\r\n");

  const char* const after_f6[] = {"timestamps iso on the log and the screen\n\r",
                                  "timestamps off\n\r",
                                  "timestamps abs on the log and the screen\n\r"};
  for (const char* said : after_f6) {
    rig.console.type(fkey(6));
    rig.pass_until([&] { return !rig.console.keys_left(); });
    EXPECT_EQ(rig.console.take_screen(), std::string("\n\r") + said);
  }
  board("d\r\n");
  EXPECT_EQ(rig.console.take_screen(), "[13:05:59.373] d\r\n");

  for (const char* bad : {"timestamps utc", "timestamps abs screen x", "timestamps screen abs"}) {
    EXPECT_EQ(local(bad), Outcome::Failed) << bad;
    EXPECT_EQ(rig.console.take_screen(),
              "usage: local timestamps [abs|delta|iso|off] [screen]\n\r");
  }
  ASSERT_EQ(local("timestamps"), Outcome::Done);  // alone: abs, the log only
  EXPECT_EQ(rig.console.take_screen(), "timestamps abs on the log\n\r");
  board("e\r\n");
  EXPECT_EQ(rig.console.take_screen(), "e\r\n");
}

}  // namespace
}  // namespace dravel::test
