#include <gtest/gtest.h>

#include "core/keyboard.h"
#include "link/tx_queue.h"
#include "support/rig.h"
#include "terminal/program_watchers.h"
#include "terminal/terminal_loop.h"
#include "watch/watchers.h"

namespace dravel::test {
namespace {

struct LoopTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  void SetUp() override { rig.open_port(); }
  // Runs passes until the console has no key left and the queue to the target is empty.
  void settle() {
    rig.pass_until([&] {
      return !rig.console.keys_left() && rig.s().core.keys.count == 0 && rig.s().link.tx.count == 0;
    });
  }
};

TEST_F(LoopTest, PlainKeysReachTheTargetAsTheyAreTyped) {
  rig.console.type("l");
  settle();
  EXPECT_EQ(peer.received, "l");  // not held back for the rest of the line
  rig.console.type("s\r");
  settle();
  EXPECT_EQ(peer.received, "ls\r");
}

TEST_F(LoopTest, PrefixKeyIsHeldForTheNextKeyAndClearedByAPlainKey) {
  rig.console.type(fkey(9));
  settle();
  EXPECT_EQ(rig.s().prefix_state, 1);
  rig.console.type("a");
  settle();
  EXPECT_EQ(rig.s().prefix_state, 0);
  EXPECT_EQ(peer.received, "a");

  rig.console.type(fkey(10));
  settle();
  EXPECT_EQ(rig.s().prefix_state, 2);
  rig.console.type(fkey(10));  // F10 again: dispatched with prefix 2, matches nothing
  settle();
  EXPECT_EQ(rig.s().prefix_state, 0);
  EXPECT_NE(rig.console.screen.find("?\n\r"), std::string::npos);
}

TEST_F(LoopTest, KeysThatMatchNoRowPrintAQuestionMark) {
  rig.console.type(fkey(7) + keys(key::UP));
  settle();
  EXPECT_EQ(rig.console.screen, "?\n\r?\n\r");
  EXPECT_EQ(peer.received, "");
}

TEST_F(LoopTest, TypedCodeAtOrAbove0xE0IsASpecialKeyNotSent) {
  rig.console.type("\xE5");
  settle();
  EXPECT_EQ(peer.received, "");
  EXPECT_EQ(rig.console.screen, "?\n\r");
}

TEST_F(LoopTest, ReceivedTextIsShownUpToAZeroByteAndLogged) {
  TempDir dir;
  ASSERT_TRUE(rig.s().log_file.open(dir.file("log").c_str(), "w"));
  peer.say(std::string("abc\0def", 7));
  rig.pass_until([&] { return peer.outgoing.empty(); });
  EXPECT_EQ(rig.console.screen, "abc");
  rig.s().log_file.close();
  EXPECT_EQ(TempDir::read(dir.file("log")), "abc");
}

// A flood is taken in reads of 255 in one pass; the 0 byte hides only the rest of its own
// read, so the reads are still 255 bytes each.
TEST_F(LoopTest, FloodIsReadIn255ByteChunksWithinOnePass) {
  std::string flood(600, 'x');
  flood[255 + 10] = '\0';
  peer.say(flood);
  EXPECT_TRUE(terminal_pass(rig.s()));
  EXPECT_TRUE(peer.outgoing.empty());
  EXPECT_EQ(rig.console.screen, std::string(255 + 10, 'x') + std::string(600 - 510, 'x'));
}

// Text after the prompt's chunk waits for the next pass, which is not an idle one.
TEST_F(LoopTest, PassEndsWithTheChunkThatHoldsThePrompt) {
  register_program_watchers(rig.s());
  std::string second = "  \r>> ";
  second += std::string(255 - second.size(), 'y');
  peer.say(std::string(255, 'x') + second + std::string(300, 'z'));
  EXPECT_TRUE(terminal_pass(rig.s()));
  EXPECT_TRUE(rig.s().link.prompt_seen);
  EXPECT_EQ(rig.console.screen, std::string(255, 'x') + second);
  int idle = rig.idle.calls;
  EXPECT_TRUE(terminal_pass(rig.s()));
  EXPECT_FALSE(rig.s().link.prompt_seen);
  EXPECT_EQ(rig.console.screen, std::string(255, 'x') + second + std::string(300, 'z'));
  EXPECT_EQ(rig.idle.calls, idle);
}

TEST_F(LoopTest, EachChunkOfAFloodStillSendsOneQueuedByte) {
  for (char c : std::string("abcdef")) tx_enqueue(rig.s().link.tx, static_cast<std::uint8_t>(c));
  peer.say(std::string(2 * 255 + 10, 'x'));
  EXPECT_TRUE(terminal_pass(rig.s()));
  EXPECT_EQ(peer.received, "abc");
}

std::string screen_when_called;

TEST_F(LoopTest, WatcherCallbackRunsWithItsChunkAlreadyOnTheScreen) {
  watcher_register(
      rig.s().watchers, "MARK",
      [this](int) {
        screen_when_called = rig.console.screen;
        return CommandResult::done();
      },
      0);
  std::string first(255, 'x');
  first.replace(100, 4, "MARK");
  peer.say(first + "after");
  EXPECT_TRUE(terminal_pass(rig.s()));
  EXPECT_EQ(screen_when_called, first);
  EXPECT_TRUE(terminal_pass(rig.s()));
  EXPECT_EQ(rig.console.screen, first + "after");
}

TEST_F(LoopTest, AnIdlePassWaitsInsteadOfSpinning) {
  int before = rig.idle.calls;
  for (int i = 0; i < 5; ++i) terminal_pass(rig.s());
  EXPECT_EQ(rig.idle.calls - before, 5);
  rig.console.type("k");
  terminal_pass(rig.s());  // a key: busy, no wait
  EXPECT_EQ(rig.idle.calls - before, 5);
}

TEST(KeyQueue, AKeyWaitIdlesWhileReadAheadSerialBytesWait) {
  ScriptedPeer peer;
  Rig rig{peer};
  const std::uint8_t ahead[] = {'>', ' '};
  rig.s().link.port.unread(ahead, sizeof ahead);
  rig.idle.on_wait = [&] { rig.console.type("k"); };
  EXPECT_EQ(read_key(rig.s().core), 'k');
  EXPECT_EQ(rig.idle.calls, 1);
  EXPECT_TRUE(rig.s().link.port.has_unread());  // still there for the loop
}

TEST(KeyQueue, HoldsExactly1024AndWraps) {
  ScriptedPeer peer;
  Rig rig{peer};
  std::string many;
  for (int i = 0; i < 1030; ++i) many.push_back(static_cast<char>('a' + i % 26));
  rig.console.type(many);
  for (int i = 0; i < 1030; ++i) poll_keyboard(rig.s().core);
  EXPECT_EQ(rig.s().core.keys.count, 1024);
  EXPECT_TRUE(rig.console.keys_left());  // the rest waits in the console
  EXPECT_EQ(read_key(rig.s().core), 'a');
  EXPECT_TRUE(poll_keyboard(rig.s().core));
  EXPECT_EQ(rig.s().core.keys.count, 1024);
  // Across the wrap every key comes out in the order typed.
  std::string read;
  for (int i = 0; i < 1024; ++i) read.push_back(static_cast<char>(read_key(rig.s().core)));
  EXPECT_EQ(read, many.substr(1, 1024));
}

TEST(KeyQueue, EscSetsTheAbortFlagAndStaysQueued) {
  Rig rig;
  rig.console.type("\x1b");
  EXPECT_TRUE(poll_keyboard(rig.s().core));
  EXPECT_TRUE(rig.s().core.abort_flag);
  EXPECT_EQ(rig.s().core.keys.count, 1);
  EXPECT_EQ(poll_input(rig.s().core), POLL_BREAK | POLL_RECEIVE);
  EXPECT_FALSE(rig.s().core.abort_flag);
}

TEST(TxQueue, DropsTheByteWhenFullAndKeepsOrderAcrossTheWrap) {
  ScriptedPeer peer;
  Rig rig{peer};
  rig.open_port();
  TxQueue& q = rig.s().link.tx;
  for (int i = 0; i < 1025; ++i) tx_enqueue(q, static_cast<std::uint8_t>('A' + i % 26));
  EXPECT_EQ(q.count, 1024);
  tx_send_one(q, rig.s().link.port);
  tx_enqueue(q, '!');
  EXPECT_EQ(q.count, 1024);
  while (q.count > 0) tx_send_one(q, rig.s().link.port);
  ASSERT_EQ(peer.received.size(), 1025u);
  EXPECT_EQ(peer.received.back(), '!');
  EXPECT_EQ(peer.received[1023], static_cast<char>('A' + 1023 % 26));
  EXPECT_EQ(tx_send_one(q, rig.s().link.port), 0);
  EXPECT_EQ(peer.received.size(), 1025u);
}

}  // namespace
}  // namespace dravel::test
