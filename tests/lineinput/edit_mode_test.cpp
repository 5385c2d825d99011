#include <gtest/gtest.h>

#include <string>

#include "support/rig.h"
#include "terminal/program_watchers.h"
#include "watch/watchers.h"

namespace dravel::test {
namespace {

constexpr const char* PROMPT = "  \r>>";

struct EditModeTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  std::string& screen = rig.console.screen;

  EditModeTest() {
    register_program_watchers(rig.s());
    rig.open_port();
  }
  bool shown(const std::string& text) const { return screen.find(text) != std::string::npos; }
};

TEST_F(EditModeTest, ALineIsEditedLocallyAfterThePromptAndSentWithCr) {
  rig.console.type(fkey(8));
  rig.pass_until([] { return false; }, 50);
  EXPECT_TRUE(rig.s().edit_mode);
  EXPECT_EQ(peer.received, "\x15");
  EXPECT_FALSE(shown("[1]>>"));  // nothing is prompted before the monitor's prompt

  peer.say(PROMPT);
  rig.console.when_screen("\r[1]>>", "dumq\bp\r");
  ASSERT_TRUE(rig.pass_until([&] {
    return peer.received ==
           "\x15"
           "dump\r";
  }));
  EXPECT_TRUE(shown(std::string(PROMPT) + "\r[1]>>dumq\b \bp\r\x1b[K>>"));
  EXPECT_EQ(rig.s().history.newest->text, "dump");
}

TEST_F(EditModeTest, ASpecialKeyEndingTheInputRunsItsCommand) {
  // The monitor answers every line (and the edit switch) with its prompt.
  peer.on_write = [](ScriptedPeer& p, const std::uint8_t* d, std::size_t n) {
    if (d[n - 1] == '\r' || d[n - 1] == 0x15) p.say(PROMPT);
  };
  rig.console.type(fkey(8));
  rig.console.when_screen("\r[1]>>", "ls" + fkey(5));
  rig.console.when_screen("Log[2]:", "\r");
  ASSERT_TRUE(rig.pass_until([&] { return shown("\x1b[32mLog[2]:\x1b[0m \r\n"); }));
  EXPECT_TRUE(shown("\r[1]>>ls\n\r\x1b[32mLog[2]:"));
  EXPECT_EQ(peer.received, "\x15");  // neither the text nor the key went to the target
  EXPECT_EQ(rig.s().history.newest->text, "ls");

  // The prompt is offered again at once; F8 there leaves edit mode.
  rig.console.when_screen("\r[2]>>", fkey(8));
  ASSERT_TRUE(rig.pass_until([&] { return !rig.s().edit_mode; }));
  EXPECT_FALSE(rig.s().link.prompt_seen);
}

}  // namespace
}  // namespace dravel::test
