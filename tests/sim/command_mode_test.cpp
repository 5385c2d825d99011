#include <gtest/gtest.h>

#include "sim/monitor.h"

namespace dravel::sim {
namespace {

const std::string PROMPT_TEXT(PROMPT);

struct CommandModeTest : ::testing::Test {
  Monitor m;
  std::string say(std::string_view bytes) {
    m.receive(bytes);
    return m.take_output();
  }
};

TEST_F(CommandModeTest, SilentUntilStartedThenBannerAndPrompt) {
  EXPECT_FALSE(m.has_output());
  m.start();
  EXPECT_EQ(m.take_output(), std::string(Monitor::BANNER) + PROMPT_TEXT);
}

TEST_F(CommandModeTest, EchoesEditsAndRunsOnCarriageReturn) {
  EXPECT_EQ(say("hx\bel"), "hx\b \bel");
  EXPECT_EQ(m.mode(), Mode::command);
  std::string out = say("p\r");
  EXPECT_EQ(out.substr(0, 1), "p");
  EXPECT_NE(out.find("dw <addr> [<count>]"), std::string::npos);
  EXPECT_TRUE(out.ends_with(PROMPT_TEXT));
  // Backspace on an empty line says nothing; DEL erases too.
  EXPECT_EQ(say("\b\x7f"), "");
  EXPECT_EQ(say("a\x7f"), "a\b \b");
}

TEST_F(CommandModeTest, EmptyLineUnknownCommandBreakAndIgnoredControls) {
  EXPECT_EQ(say("\r"), PROMPT_TEXT);
  EXPECT_EQ(say("\n\x15\x1b"), "");
  EXPECT_EQ(say("frob 1\r"), "frob 1\r\nfrob: unknown command (type help)" + PROMPT_TEXT);
  EXPECT_EQ(say("dw 8\x03"), "dw 8^C" + PROMPT_TEXT);
  // The broken-off line is gone.
  EXPECT_EQ(say("\r"), PROMPT_TEXT);
}

}  // namespace
}  // namespace dravel::sim
