#include "loader/srec_send.h"

#include <gtest/gtest.h>

#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

struct SrecSend : ::testing::Test {
  SrecMonitor monitor;
  Rig rig{monitor.peer};
  TempDir dir;

  void SetUp() override {
    rig.open_port();
    rig.idle.on_wait = [this] { monitor.on_idle(); };
  }
  Outcome send(const std::string& path, int verbose = 1) {
    return rig.shown(srec_send(rig.s().link, path.c_str(), verbose));
  }
};

TEST_F(SrecSend, SendsCrLfLinesWithLfAloneAfterTheStartBytes) {
  std::string f = dir.write("a.mot", "S00600004844521B\r\nS9030000FC\r\n");
  EXPECT_EQ(send(f), Outcome::Done);
  EXPECT_EQ(rig.serial.wire_out, "G\nS00600004844521B\nS9030000FC\n");
  EXPECT_EQ(rig.console.screen, "\r\r2 lines,  0 sec.\n\r\"" + f + "\" send ");
  EXPECT_FALSE(rig.s().link.prompt_seen);
}

TEST_F(SrecSend, EndOfFileByteEndsTheTextAndLastLineMayLackLf) {
  monitor.silent = true;
  monitor.peer.say("N\nN\n");
  std::string f = dir.write("a.mot", "S1030000FC\nS1030001FB\x1aS1hidden\n");
  EXPECT_EQ(send(f, 0), Outcome::Done);
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "G\nS1030000FC\nS1030001FB");
}

TEST_F(SrecSend, RefusesFilesThatDoNotStartWithS) {
  for (std::string content : {"", "X1234\nS1\n", "\nS1\n"}) {
    rig.serial.wire_out.clear();
    rig.console.take_screen();
    std::string f = dir.write("bad.mot", content);
    EXPECT_EQ(send(f), Outcome::Failed);
    drain(rig.s());
    EXPECT_EQ(rig.serial.wire_out, "\x03") << content;
    EXPECT_EQ(rig.console.take_screen(), "\"" + f + "\" is not S-format file\n\r");
  }
}

TEST_F(SrecSend, RefusesAFileWithALineThatIsNoRecordBeforeSendingAny) {
  struct Case {
    const char* content;
    const char* detail;  // after the "not S-format" line
  };
  const Case cases[] = {
      {"S1030000FC\nS1030001FB\n", nullptr},
      {"S1030000FC\nsecret\n", " line 2 does not begin with S and a digit"},
      {"S1030000FC\nS1030000FC trailing\n", " line 2 holds a character that is not a hex digit"},
      {"S1040000FC\n", " line 1 has a byte count that does not fit its length"},
      {"S1020000\n", " line 1 is too short for its address and checksum"},
  };
  for (const Case& c : cases) {
    rig.serial.wire_out.clear();
    rig.console.take_screen();
    std::string f = dir.write("c.mot", c.content);
    EXPECT_EQ(send(f, 0), c.detail == nullptr ? Outcome::Done : Outcome::Failed) << c.content;
    drain(rig.s());
    if (c.detail == nullptr) continue;
    EXPECT_EQ(rig.serial.wire_out, "\x03") << c.content;
    EXPECT_EQ(rig.console.take_screen(),
              "\"" + f + "\" is not S-format file\n\r" + c.detail + "\n\r");
  }
}

TEST_F(SrecSend, MissingFileQueuesBreak) {
  EXPECT_EQ(send(dir.file("none.mot")), Outcome::Failed);
  EXPECT_EQ(rig.console.screen,
            "\"" + dir.file("none.mot") + "\" can't open: No such file or directory\n\r");
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "\x03");
}

TEST_F(SrecSend, EchoesOtherBytesButNotTheAcknowledgement) {
  monitor.before_ack = "x\ny";  // an LF before the 'N' does not end the wait
  std::string f = dir.write("a.mot", "S1030000FC\nS1030001FB\n");
  EXPECT_EQ(send(f, 0), Outcome::Done);
  EXPECT_EQ(rig.console.screen, "x\ny\rx\ny");
  EXPECT_EQ(rig.serial.wire_out, "G\nS1030000FC\nS1030001FB\n");
}

TEST_F(SrecSend, AcknowledgementSplitByOtherBytesStillCounts) {
  rig.serial.set_peer(&monitor.peer);
  monitor.silent = true;
  monitor.peer.say("N--\n");
  std::string f = dir.write("a.mot", "S1030000FC\n");
  EXPECT_EQ(send(f, 0), Outcome::Done);
  EXPECT_EQ(rig.console.screen, "--\r");
}

TEST_F(SrecSend, ProgressEveryThirtyTwoLinesAndSummaryCount) {
  std::string f32 = dir.write("32.mot", srec_lines(32));
  EXPECT_EQ(send(f32), Outcome::Done);
  std::string screen = rig.console.take_screen();
  EXPECT_EQ(screen.find("line("), std::string::npos);
  EXPECT_NE(screen.find("\r32 lines,  0 sec."), std::string::npos);

  std::string f33 = dir.write("33.mot", srec_lines(33));
  EXPECT_EQ(send(f33), Outcome::Done);
  // 33 lines of 21 bytes: the position after the 33rd line is the whole file.
  EXPECT_EQ(rig.console.take_screen(),
            "\r32 line(100%)\r\r33 lines,  0 sec.\n\r\"" + f33 + "\" send ");

  std::string f40 = dir.write("40.mot", srec_lines(40));
  EXPECT_EQ(send(f40), Outcome::Done);
  EXPECT_NE(rig.console.take_screen().find("\r32 line(82%)\r"), std::string::npos);
}

TEST_F(SrecSend, QuietSendShowsOnlyTheCarriageReturnsOfEveryThirtySecondLine) {
  std::string f = dir.write("65.mot", srec_lines(65));
  EXPECT_EQ(send(f, 0), Outcome::Done);
  EXPECT_EQ(rig.console.screen, "\r\r\r");
}

TEST_F(SrecSend, LongLineGoesAsTwoPiecesEachAcknowledged) {
  ScriptedPeer peer;
  std::size_t seen = 0;
  peer.on_write = [&](ScriptedPeer& p, const std::uint8_t*, std::size_t n) {
    seen += n;
    if (seen == 2 + 255 || seen == 2 + 300 + 1) p.say("N\n");
  };
  rig.serial.set_peer(&peer);
  std::string line = "S194" + std::string(296, '7');  // 0x94 bytes: a record of 300 characters
  std::string f = dir.write("long.mot", line + "\n");
  EXPECT_EQ(send(f), Outcome::Done);
  EXPECT_EQ(peer.received, "G\n" + line + "\n");
  EXPECT_NE(rig.console.screen.find("2 lines"), std::string::npos);
}

TEST_F(SrecSend, SilentTargetTimesOutAfterMoreThanFourSeconds) {
  monitor.silent = true;
  std::string f = dir.write("a.mot", "S1030000FC\nS1030001FB\n");
  std::int64_t start = rig.clock.seconds();
  EXPECT_EQ(send(f), Outcome::Failed);
  EXPECT_EQ(rig.clock.seconds() - start, 5);
  EXPECT_EQ(rig.console.screen,
            "\n\rxfersfmt:timeout !\n\r\r \"" + f + "\" 1 sent\n\r send abort\n\r");
  EXPECT_FALSE(rig.s().core.abort_flag);
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out, "G\nS1030000FC\n\x03");
}

TEST_F(SrecSend, LimitCountsFromTheLastProgressPointNotTheStart) {
  // Each line is acknowledged a tenth of a second late: 60 lines take six seconds, which
  // only passes because the reference time moves at line 32.
  monitor.delay_waits = 1;
  std::string f = dir.write("60.mot", srec_lines(60));
  std::int64_t start = rig.clock.seconds();
  EXPECT_EQ(send(f, 0), Outcome::Done);
  EXPECT_GE(rig.clock.seconds() - start, 5);
  EXPECT_EQ(monitor.lines, 60);
}

TEST_F(SrecSend, SlowTargetTimesOutBeforeTheFirstProgressPoint) {
  monitor.delay_waits = 3;
  std::string f = dir.write("40.mot", srec_lines(40));
  EXPECT_EQ(send(f), Outcome::Failed);
  EXPECT_NE(rig.console.screen.find("xfersfmt:timeout !"), std::string::npos);
  EXPECT_LT(monitor.lines, 32);
}

TEST_F(SrecSend, AbortFlagEndsTheWaitAndIsCleared) {
  rig.s().core.abort_flag = true;
  std::string f = dir.write("a.mot", "S1030000FC\nS1030001FB\nS1030002FA\n");
  monitor.silent = true;
  EXPECT_EQ(send(f), Outcome::Failed);
  EXPECT_EQ(rig.console.screen, "\r \"" + f + "\" 1 sent\n\r send abort\n\r");
  EXPECT_FALSE(rig.s().core.abort_flag);
  drain(rig.s());
  EXPECT_EQ(rig.serial.wire_out.back(), '\x03');
}

TEST_F(SrecSend, KeysDuringTheWaitAreDropped) {
  monitor.delay_waits = 2;
  rig.console.type("ab");
  std::string f = dir.write("a.mot", "S1030000FC\nS1030001FB\n");
  EXPECT_EQ(send(f, 0), Outcome::Done);
  EXPECT_EQ(rig.s().core.keys.count, 0);
  EXPECT_FALSE(rig.console.keys_left());
}

// Each line goes out in one write (one TCP segment over a network port), and whatever the monitor
// says after an acknowledgement (read in the same chunk) is shown or kept for the next reader,
// never lost.
TEST_F(SrecSend, ALineIsOneWriteSoOneSegmentOverANetworkPortAndBytesAfterTheAckAreKept) {
  monitor.before_ack = "ok ";
  std::string f = dir.write("3.mot", srec_lines(3));
  rig.s().link.tx.reset();
  EXPECT_EQ(send(f, 0), Outcome::Done);
  EXPECT_EQ(rig.serial.writes, 3);  // "G\n" with the first line, then one a line
  EXPECT_EQ(rig.serial.wire_out, "G\n" + srec_lines(3));
  EXPECT_EQ(rig.console.screen, "ok \rok ok ");

  monitor.silent = true;
  monitor.peer.say("N");
  monitor.peer.say("x\nN\nafter>>");
  std::string g = dir.write("1.mot", "S1030000FC\n");
  EXPECT_EQ(send(g, 0), Outcome::Done);
  std::uint8_t rest[16] = {};
  ASSERT_EQ(rig.s().link.port.read(rest, sizeof rest), 9);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(rest), 9), "N\nafter>>");
  EXPECT_EQ(rig.console.screen.substr(rig.console.screen.size() - 2), "x\r");
}

// While the acknowledgement is awaited the wait sleeps until the 4-second limit, not less.
TEST_F(SrecSend, TheWaitSleepsUntilItsLimit) {
  monitor.silent = true;
  std::string f = dir.write("1.mot", "S1030000FC\n");
  std::int64_t start_ms = rig.clock.ms;
  EXPECT_EQ(send(f, 0), Outcome::Failed);
  EXPECT_EQ(rig.idle.unlimited, 0);
  EXPECT_EQ(rig.idle.last_timeout_ms, 100);  // what was left of the limit at the last wait
  EXPECT_EQ(rig.clock.ms - start_ms, 5000);  // more than 4 whole seconds, and not a step more
}

}  // namespace
}  // namespace dravel::test
