#include <gtest/gtest.h>

#include "sim/monitor.h"
#include "sim/stream.h"

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

TEST_F(CommandModeTest, HelpListsEveryCommand) {
  std::string out = say("help\r");
  for (const char* name : {"help", "dw", "reg", "sr", "go", "ld2", "lreq", "fload", "bwr", "brd"}) {
    EXPECT_NE(out.find(std::string("\r\n  ") + name), std::string::npos) << name;
  }
  // Nothing a host waits for may hide in ordinary output.
  EXPECT_EQ(out.find(">>"), out.size() - 3);
}

TEST_F(CommandModeTest, DwDumpsLittleEndianWordsFourToALine) {
  const std::uint8_t bytes[] = {0x78, 0x56, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE};
  m.memory().write(0x80010000, bytes, sizeof bytes);
  EXPECT_EQ(say("dw 80010000 5\r"),
            "dw 80010000 5"
            "\r\n80010000: 12345678 deadbeef 00000000 00000000"
            "\r\n80010010: 00000000" +
                PROMPT_TEXT);
  // Default count: 16 words, four lines.
  std::string out = say("DW 0x80010004\r");
  EXPECT_NE(out.find("\r\n80010004: deadbeef"), std::string::npos);
  EXPECT_NE(out.find("\r\n80010034: "), std::string::npos);
  EXPECT_EQ(out.find("\r\n80010044: "), std::string::npos);
}

TEST_F(CommandModeTest, DwRefusesBadArgumentsAndUnmappedMemory) {
  EXPECT_EQ(say("dw\r"), "dw\r\nusage: dw <addr> [<count>]" + PROMPT_TEXT);
  EXPECT_EQ(say("dw zz\r"), "dw zz\r\nusage: dw <addr> [<count>]" + PROMPT_TEXT);
  EXPECT_EQ(say("dw 1 2 3\r"), "dw 1 2 3\r\nusage: dw <addr> [<count>]" + PROMPT_TEXT);
  EXPECT_EQ(say("dw 123456789\r"), "dw 123456789\r\nusage: dw <addr> [<count>]" + PROMPT_TEXT);
  EXPECT_EQ(say("dw 0 0\r"), "dw 0 0\r\ndw: count must be 1 to 400" + PROMPT_TEXT);
  EXPECT_EQ(say("dw 40000000\r"), "dw 40000000\r\ndw: address 40000000 not mapped" + PROMPT_TEXT);
  // Running off the end of RAM counts as unmapped too.
  EXPECT_EQ(say("dw 807ffff8 4\r"),
            "dw 807ffff8 4\r\ndw: address 807ffff8 not mapped" + PROMPT_TEXT);
  EXPECT_EQ(m.memory().pages_in_use(), 0u);
}

TEST_F(CommandModeTest, SrSetsRegistersAndAnswersWithThePrompt) {
  EXPECT_EQ(say("sr gp 1f00\r"), "sr gp 1f00" + PROMPT_TEXT);
  EXPECT_EQ(say("sr epc 0\r"), "sr epc 0" + PROMPT_TEXT);
  EXPECT_EQ(say("sr sp 801ffff0\r"), "sr sp 801ffff0" + PROMPT_TEXT);
  EXPECT_EQ(m.registers().get("gp"), 0x1f00u);
  EXPECT_EQ(m.registers().get("sp"), 0x801ffff0u);
  EXPECT_EQ(say("sr xx 1\r"), "sr xx 1\r\nsr: no register xx" + PROMPT_TEXT);
  EXPECT_EQ(say("sr gp\r"), "sr gp\r\nusage: sr <register> <hex value>" + PROMPT_TEXT);
  EXPECT_EQ(say("sr gp 1g\r"), "sr gp 1g\r\nusage: sr <register> <hex value>" + PROMPT_TEXT);
  EXPECT_EQ(m.registers().get("gp"), 0x1f00u);
}

TEST_F(CommandModeTest, RegAndGoShowTheRegisters) {
  say("sr epc 80010000\rsr ra 12\r");
  std::string out = say("reg\r");
  EXPECT_NE(out.find("\r\nzero=00000000    at=00000000    v0=00000000    v1=00000000\r\n"),
            std::string::npos);
  EXPECT_NE(out.find("  ra=00000012\r\n  hi=00000000    lo=00000000   epc=80010000" + PROMPT_TEXT),
            std::string::npos);
  EXPECT_EQ(
      say("go\r"),
      "go\r\ngo: the program would start at 80010000 (this monitor runs no code)" + PROMPT_TEXT);
}

TEST_F(CommandModeTest, GoPrintsTheProgramsTextBeforeThePrompt) {
  m.set_program_output("\r\nPASS");
  EXPECT_EQ(say("go\r"),
            "go\r\ngo: the program would start at 00000000 (this monitor runs no code)\r\nPASS" +
                PROMPT_TEXT);
}

TEST_F(CommandModeTest, OverlongLinesRingTheBellInsteadOfGrowing) {
  std::string out = say(std::string(300, 'a'));
  EXPECT_EQ(out, std::string(255, 'a') + std::string(45, '\a'));
  EXPECT_EQ(say("\r"),
            "\r\n" + std::string(255, 'a') + ": unknown command (type help)" + PROMPT_TEXT);
}

TEST_F(CommandModeTest, HeldPromptsLeaveTheRestOfTheAnswer) {
  m.faults().hold_prompt = true;
  m.start();
  EXPECT_EQ(m.take_output(), Monitor::BANNER);
  EXPECT_EQ(say("sr gp 1\r"), "sr gp 1");
  EXPECT_EQ(say("bwr\r\r"), "bwr\r\nbinary\rend binary\r");
  m.faults().hold_prompt = false;
  EXPECT_EQ(say("\r"), PROMPT_TEXT);
}

TEST_F(CommandModeTest, MuteAfterTextSilencesFromTheCompletingByte) {
  m.faults().mute_after_text = "bwr\r";
  EXPECT_EQ(say("bw"), "bw");
  EXPECT_EQ(say("r\rhelp\r"), "r");
  EXPECT_TRUE(m.muted());
  EXPECT_EQ(m.mode(), Mode::command);
  // The wire still shows what the host sent.
  EXPECT_EQ(m.trace().from_host(), "bwr\rhelp\r");
}

TEST_F(CommandModeTest, MuteAfterBytesKeepsWhatWasAlreadyQueued) {
  m.start();
  m.faults().mute_after_bytes = 3;
  m.receive("abcd");
  EXPECT_EQ(m.take_output(), std::string(Monitor::BANNER) + PROMPT_TEXT + "ab");
  EXPECT_EQ(m.bytes_received(), 4u);
}

TEST_F(CommandModeTest, TraceKeepsBothDirectionsInOrder) {
  m.start();
  m.receive("x\r");
  const auto& e = m.trace().entries();
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].direction, Direction::to_host);
  EXPECT_EQ(e[1].direction, Direction::from_host);
  EXPECT_EQ(e[1].bytes, "x\r");
  EXPECT_TRUE(e[2].bytes.starts_with("x\r\nx: unknown"));
  EXPECT_EQ(format_trace_lines(Direction::from_host, "bwr\r"),
            "H>M 62 77 72 0d" + std::string(12 * 3, ' ') + "  bwr.\n");
  EXPECT_TRUE(format_trace_lines(Direction::to_host, std::string(17, 'Y'))
                  .substr(53)
                  .starts_with("YYYYYYYYYYYYYYYY\nM>H 59"));
}

// The stream and the sum are what a soak checks every byte against: pinned here, since a
// test tool regenerates them on its own (tests/soak/soak.py).
TEST_F(CommandModeTest, StreamAndSumAreCheckableFromTheirSeedAndData) {
  EXPECT_EQ(seeded_stream(0x1234, 20), "I1m68-9Tyz33fV0iYGcJ");
  EXPECT_EQ(seeded_stream(1, 80),
            "BneL5Al1oWh-AKo7jxuIGcNsf31rnKE6tcXM1BY8GHjyB4eWz60l4QPvvMSSU_8biszrp7hH\r\n1zODT-");
  EXPECT_EQ(say("stream 14 1234\r"),
            "stream 14 1234\r\nstream 1234 14\r\nI1m68-9Tyz33fV0iYGcJ\r\n"
            "stream end 1234" +
                PROMPT_TEXT);
  // Without a seed, each stream takes the next one from the monitor's count.
  m.set_stream_seed(0x41);
  EXPECT_NE(say("stream 5\r").find("stream 41 5\r\n" + seeded_stream(0x41, 5)), std::string::npos);
  EXPECT_NE(say("stream 5\r").find("stream 42 5\r\n"), std::string::npos);
  const std::string digits = "123456789";
  m.memory().write(0x80010000, reinterpret_cast<const std::uint8_t*>(digits.data()), 9);
  EXPECT_EQ(say("sum 80010000 9\r"),
            "sum 80010000 9\r\nsum 80010000 9 crc32 cbf43926" + PROMPT_TEXT);
  for (const char* bad : {"stream\r", "stream 100001\r", "stream 1 2 3\r", "sum 1\r", "sum x 1\r"})
    EXPECT_NE(say(bad).find("usage: "), std::string::npos) << bad;
}

}  // namespace
}  // namespace dravel::sim
