#include "watch/watchers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/program_exit.h"
#include "loader/load_command.h"
#include "support/rig.h"
#include "terminal/program_watchers.h"

namespace dravel::test {
namespace {

// Callbacks are plain functions; they note their calls here and say their value.
std::vector<int> g_calls;
constexpr int QUIT_VALUE = 255;
CommandResult note(int value) {
  g_calls.push_back(value);
  if (value == QUIT_VALUE) return CommandResult::quit();
  return CommandResult::done(std::to_string(value));
}

struct WatchersTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  void SetUp() override { g_calls.clear(); }
  // The reason of the callback that ran: "" when none did.
  std::string feed(const std::string& chunk) {
    return watchers_feed(rig.s().watchers, reinterpret_cast<const std::uint8_t*>(chunk.data()),
                         static_cast<int>(chunk.size()))
        .reason;
  }
};

TEST_F(WatchersTest, ProgramWatchersAreTriedFileLoadThenDataLoadThenPrompt) {
  register_program_watchers(rig.s());
  std::vector<std::string> patterns;
  std::vector<int> values;
  for (Watcher* w = rig.s().watchers.head.get(); w != nullptr; w = w->next.get()) {
    patterns.emplace_back(w->matcher->pattern.begin(), w->matcher->pattern.end());
    values.push_back(w->value);
  }
  // What each one does is seen in the loader's RequestFromMonitor tests.
  EXPECT_EQ(patterns, (std::vector<std::string>{"\r\nS-format file load start\r\n",
                                                "\r\nS-format data load start\r\n", "  \r>>"}));
  EXPECT_EQ(values, (std::vector<int>{1, 0, 0}));
}

TEST_F(WatchersTest, FirstCompletedWatcherWinsAndEveryMatcherStartsOver) {
  EXPECT_EQ(feed("anything"), "");  // empty list
  watcher_register(rig.s().watchers, "  \r>>", note, 7);
  watcher_register(rig.s().watchers, "load\r\n", note, 3);

  // The end of a load request and a whole prompt in one chunk: only the request runs,
  // and the prompt seen in the same chunk is forgotten.
  EXPECT_EQ(feed("lo"), "");
  EXPECT_EQ(feed("ad\r\n  \r>>"), "3");
  EXPECT_EQ(g_calls, (std::vector<int>{3}));
  EXPECT_EQ(feed("x"), "");

  // Half a prompt is forgotten when another watcher completes.
  EXPECT_EQ(feed("  \r>"), "");
  EXPECT_EQ(feed("load\r\n"), "3");
  EXPECT_EQ(feed(">"), "");

  // Two prompts in one chunk run the callback once.
  g_calls.clear();
  EXPECT_EQ(feed("  \r>>   \r>>"), "7");
  EXPECT_EQ(g_calls, (std::vector<int>{7}));

  // A watcher without a callback matches and does nothing.
  watcher_register(rig.s().watchers, "bell", nullptr, 0);
  EXPECT_EQ(feed(std::string("be\0bell", 7)), "");
}

TEST_F(WatchersTest, LoopSetsPromptSeenForAPromptSplitOverReadsAndClearsItNextPass) {
  rig.open_port();
  register_program_watchers(rig.s());
  peer.say("  \r");
  ASSERT_TRUE(terminal_pass(rig.s()));
  EXPECT_FALSE(rig.s().link.prompt_seen);
  peer.say(">> ");
  peer.max_chunk = 2;
  ASSERT_TRUE(terminal_pass(rig.s()));
  EXPECT_TRUE(rig.s().link.prompt_seen);
  EXPECT_EQ(rig.console.screen, "  \r>>");
  ASSERT_TRUE(terminal_pass(rig.s()));
  EXPECT_FALSE(rig.s().link.prompt_seen);
}

TEST_F(WatchersTest, CallbackResultOfQuitEndsTheLoop) {
  rig.open_port();
  watcher_register(rig.s().watchers, "bye", note, QUIT_VALUE);
  peer.say("say bye");
  EXPECT_FALSE(terminal_pass(rig.s()));
  EXPECT_EQ(g_calls, (std::vector<int>{QUIT_VALUE}));
}

}  // namespace
}  // namespace dravel::test
