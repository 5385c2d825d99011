#include "link/handshake.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/program_exit.h"
#include "link/binary_session.h"
#include "link/block_protocol.h"
#include "link/serial_port.h"
#include "loader/dload_dsave.h"
#include "support/rig.h"
#include "support/wire.h"

namespace dravel::test {
namespace {

struct HandshakeTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  TempDir dir;
  void SetUp() override {
    rig.s().history_path = dir.file("his");
    rig.open_port();
  }
  // Bytes the host has not read yet.
  std::string unread() {
    std::string out;
    std::uint8_t b = 0;
    while (serial_read(rig.s().link.port, &b, 1) == 1) out += static_cast<char>(b);
    return out;
  }
};

TEST_F(HandshakeTest, PromptIsTwoAdjacentGreaterSignsEvenWhenSplitOverReads) {
  peer.say("x>y>");
  int idles = 0;
  rig.idle.on_wait = [&] {
    if (++idles == 2) peer.say("> rest");
  };
  EXPECT_EQ(wait_prompt(rig.s().link), 0);
  EXPECT_EQ(unread(), " rest");  // left for the next reader
  EXPECT_EQ(rig.console.screen, "");
}

TEST_F(HandshakeTest, NoPromptEndsTheProgramAfterMoreThanThreeWholeSeconds) {
  peer.say("> >");
  std::int64_t start = rig.clock.ms;
  EXPECT_EQ(exit_status_of([&] { wait_prompt(rig.s().link); }), 1);
  EXPECT_EQ(rig.console.screen, "KRVB7100 not ready!\n");
  EXPECT_GT(rig.clock.ms - start, 3000);
  EXPECT_LE(rig.clock.ms - start, 4000);
  EXPECT_FALSE(rig.serial.is_open());
  EXPECT_TRUE(std::filesystem::exists(dir.file("his")));  // exits like every other exit
}

TEST_F(HandshakeTest, KeysDuringThePromptWaitAreThrownAwayAndEscEnds) {
  rig.console.type("a" + fkey(1));
  int idles = 0;
  rig.idle.on_wait = [&] {
    if (++idles == 3) peer.say(">>");
  };
  EXPECT_EQ(wait_prompt(rig.s().link), 0);
  EXPECT_FALSE(rig.console.keys_left());
  EXPECT_EQ(rig.s().core.keys.count, 0);
  EXPECT_EQ(rig.serial.wire_out, "");

  rig.console.type("\x1b");
  EXPECT_EQ(exit_status_of([&] { wait_prompt(rig.s().link); }), 1);
  EXPECT_EQ(rig.console.screen, "");
  EXPECT_FALSE(rig.serial.is_open());
  EXPECT_TRUE(std::filesystem::exists(dir.file("his")));
}

TEST_F(HandshakeTest, RegisterSettingSendsCommandAndCarriageReturnBetweenPrompts) {
  EXPECT_EQ(set_target_register(rig.s().link, 30, 5), -1);
  EXPECT_EQ(rig.serial.wire_out, "");

  // The monitor prompts only after each line; the last CR must wait for the second prompt.
  bool second_prompt_taken = false;
  peer.on_write = [&](ScriptedPeer& p, const std::uint8_t*, std::size_t) {
    if (p.received.back() != '\r') return;
    if (p.received.size() > 1 && p.received[p.received.size() - 2] == '\r')
      second_prompt_taken = p.outgoing.empty();
    else
      p.say("\r\n>>");
  };
  peer.say("  \r>>");
  EXPECT_EQ(set_target_register(rig.s().link, REGISTER_EPC, 0), 0);
  EXPECT_EQ(peer.received, "sr epc 0\r\r");
  EXPECT_TRUE(second_prompt_taken);

  peer.received.clear();
  peer.say(">>");
  set_target_register(rig.s().link, REGISTER_GP, 0x1F00);
  peer.say(">>");
  set_target_register(rig.s().link, REGISTER_SP, 0xFFFFFFFFu);
  EXPECT_EQ(peer.received, "sr gp 1f00\r\rsr sp ffffffff\r\r");
}

// The answer is matched as a whole, across reads: its letters scattered through other text
// (a command line the monitor refused, echoed back) are not the answer.
TEST_F(HandshakeTest, TextWaitMatchesTheWholeTextAcrossReads) {
  struct Case {
    const char* before;  // said first: never the answer on its own
    const char* after;   // said at the first idle wait
    const char* pattern;
    const char* left;  // unread once the wait ends
  };
  const Case cases[] = {
      {"bwr\r\nbin\r", "-a-r-y-\r\nbinary\r\n>>", "binary\r", "\n>>"},
      {"b-i-n-a-r-y-\r", "binary\r", "binary\r", ""},
      {"unknown command: bwr\r\nbina", "ry\r\n>>", "binary\r", "\n>>"},
      {"bbinbin", "binary\r", "binary\r", ""},
      {"end end binar", "y\r>>", "end binary\r", ">>"},
      {"end\rbinary\r", "end binary\r", "end binary\r", ""},
  };
  for (const Case& c : cases) {
    peer.say(c.before);
    int idles = 0;
    rig.idle.on_wait = [&] {
      if (++idles == 1) peer.say(c.after);
    };
    wait_for_text(rig.s().link, c.pattern);
    EXPECT_EQ(idles, 1) << c.before;
    EXPECT_EQ(unread(), c.left) << c.before;
  }
  EXPECT_EQ(rig.console.screen, "");
}

// The prompt that follows "end binary\r" in the same read must reach the register setting.
TEST_F(HandshakeTest, PromptRightAfterLeavingBinaryIsKeptForTheNextWait) {
  peer.on_write = [](ScriptedPeer& p, const std::uint8_t*, std::size_t) {
    if (p.received == "bwr\r") p.say("bwr\r\nbinary\r\n");
    if (p.received == "bwr\r\r") p.say("\r\nend binary\r\n>>");
    if (p.received == "bwr\r\rsr epc 80010000\r") p.say("\r\n>>");
  };
  { BinarySession session(rig.s().link, BinaryDirection::ToBoard); }
  EXPECT_EQ(set_target_register(rig.s().link, REGISTER_EPC, 0x80010000u), 0);
  EXPECT_EQ(peer.received, "bwr\r\rsr epc 80010000\r\r");
  EXPECT_EQ(rig.console.screen, "");
}

// A monitor that took the packets as a command line (it answered a stale "binary") refuses
// each one; after the last try it gets what brings it to its prompt from anywhere (NULs, then
// Ctrl-C), and nothing waits for an "end binary" a command line never prints.
TEST_F(HandshakeTest, APacketBadEveryTryBringsTheMonitorBackWithoutWaitingForIt) {
  const std::string file = dir.write("img.bin", std::string(16, 'x'));
  const std::size_t command = std::string("bwr\r").size() + 9;  // and the transfer header
  std::size_t answered = 0;
  peer.on_write = [&](ScriptedPeer& p, const std::uint8_t*, std::size_t) {
    if (p.received == "bwr\r") p.say("bwr\r\nunknown command: binary\r\n>>");
    while (p.received.size() >= command + (answered + 1) * (PACKET_SIZE + 2) &&
           answered < PACKET_TRIES) {
      p.say("N");
      ++answered;
    }
  };
  int idles = 0;
  rig.idle.on_wait = [&] {
    if (++idles == 100) rig.console.type("\x1b");  // the way out, were anything still waiting
  };
  std::string argument = file + " 80000000";
  Outcome result = Outcome::Done;
  EXPECT_EQ(
      exit_status_of([&] { result = rig.shown(dload_command(rig.s().link, argument.data())); }),
      -1);
  EXPECT_EQ(result, Outcome::Failed);
  const std::string tail = std::string(PACKET_SIZE + 1, '\0') + "\x03";
  ASSERT_GE(peer.received.size(), tail.size());
  EXPECT_EQ(peer.received.substr(peer.received.size() - tail.size()), tail);
  EXPECT_NE(rig.console.screen.find("transfer stopped: a packet went bad 16 times in a row"),
            std::string::npos);
}

}  // namespace
}  // namespace dravel::test
