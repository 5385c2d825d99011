#include "platform/key_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/keys.h"

namespace dravel::platform {
namespace {

// Feeds `bytes` at time `at` and returns everything decoded so far.
std::string decode(KeyDecoder& d, const std::string& bytes, std::int64_t at = 0) {
  for (char c : bytes) d.feed(static_cast<std::uint8_t>(c), at);
  std::string out;
  while (d.has_output()) out.push_back(static_cast<char>(d.take()));
  return out;
}

std::string decode(const std::string& bytes) {
  KeyDecoder d;
  return decode(d, bytes);
}

TEST(KeyDecoder, EveryNamedKeyInEveryTerminalsSpelling) {
  struct Case {
    const char* seq;
    KeyCode key;
  };
  const Case cases[] = {
      {"\x1b[A", key::UP},
      {"\x1bOA", key::UP},
      {"\x1b[B", key::DOWN},
      {"\x1bOB", key::DOWN},
      {"\x1b[C", key::RIGHT},
      {"\x1bOC", key::RIGHT},
      {"\x1b[D", key::LEFT},
      {"\x1bOD", key::LEFT},
      {"\x1b[2~", key::INS},
      {"\x1b[3~", key::DEL},
      {"\x1b[1~", key::HOME},
      {"\x1b[7~", key::HOME},
      {"\x1b[H", key::HOME},
      {"\x1bOH", key::HOME},
      {"\x1b[4~", key::END},
      {"\x1b[8~", key::END},
      {"\x1b[F", key::END},
      {"\x1bOF", key::END},
      {"\x1b[5~", key::PGUP},
      {"\x1b[6~", key::PGDN},
      {"\x1bOP", key::F1},
      {"\x1bOQ", key::F2},
      {"\x1bOR", key::F3},
      {"\x1bOS", key::F4},
      {"\x1b[11~", key::F1},
      {"\x1b[12~", key::F2},
      {"\x1b[13~", key::F3},
      {"\x1b[14~", key::F4},
      {"\x1b[[A", key::F1},
      {"\x1b[[B", key::F2},
      {"\x1b[[C", key::F3},
      {"\x1b[[D", key::F4},
      {"\x1b[[E", key::F5},
      {"\x1b[15~", key::F5},
      {"\x1b[17~", key::F6},
      {"\x1b[18~", key::F7},
      {"\x1b[19~", key::F8},
      {"\x1b[20~", key::F9},
      {"\x1b[21~", key::F10},
      {"\x1b[23~", key::F11},
      {"\x1b[24~", key::F12},
      // with modifiers: xterm's ;mod parameters, the old SS3 form, rxvt's endings
      {"\x1b[1;2P", key::F1},
      {"\x1b[1;5A", key::UP},
      {"\x1bO2Q", key::F2},
      {"\x1b[15;5~", key::F5},
      {"\x1b[3;3~", key::DEL},
      {"\x1b[17^", key::F6},
      {"\x1b[2$", key::INS},
      {"\x1b[a", key::UP},
      {"\x1bOd", key::LEFT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.seq)));
    EXPECT_EQ(decode(c.seq), std::string(1, static_cast<char>(c.key)));
  }
}

TEST(KeyDecoder, PlainBytesPassAsThemselves) {
  std::string high;
  for (int b = 0x80; b <= 0xFF; ++b) high.push_back(static_cast<char>(b));
  EXPECT_EQ(decode("ab\r\x03~[O"), "ab\r\x03~[O");
  EXPECT_EQ(decode(high), high);
  // Backspace arrives as the console the program was made for gives it.
  EXPECT_EQ(decode("\x7f"), "\x08");
  // A typed NUL is a key of its own and leaves the next one alone.
  EXPECT_EQ(decode(std::string("\0x", 2)), std::string("\0x", 2));
}

TEST(KeyDecoder, LoneEscWaitsItsLookAheadThenIsEsc) {
  KeyDecoder d;
  EXPECT_EQ(decode(d, "\x1b", 1000), "");
  EXPECT_TRUE(d.pending());
  EXPECT_EQ(d.ms_until_expiry(1010), 40);
  d.expire(1049);
  EXPECT_FALSE(d.has_output());
  d.expire(1050);
  EXPECT_EQ(decode(d, ""), "\x1b");
  EXPECT_FALSE(d.pending());

  // A key typed after the look-ahead is a key of its own, not part of a sequence.
  EXPECT_EQ(decode(d, "\x1b", 2000), "");
  EXPECT_EQ(decode(d, "[A", 2100), "\x1b[A");
  // ESC ESC: the first stood alone; ESC then Enter likewise.
  EXPECT_EQ(decode(d, "\x1b\x1b", 3000), "\x1b");
  d.flush();
  EXPECT_EQ(decode(d, ""), "\x1b");
  EXPECT_EQ(decode(d, "\x1b\r", 4000), "\x1b\r");
}

TEST(KeyDecoder, UnknownSequencesAreDroppedWhole) {
  // Alt+x, an unknown CSI, bracketed-paste marks, an unknown SS3, a Linux one out of range.
  for (const char* seq : {"\x1bx", "\x1b[99~", "\x1b[200~", "\x1b[Z", "\x1bOz", "\x1b[[Z", "\x1b[~",
                          "\x1b[1;2;3;4;5;6;7;8;9;0~"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(seq)));
    KeyDecoder d;
    EXPECT_EQ(decode(d, std::string(seq) + "k"), "k");
    EXPECT_FALSE(d.pending());
  }
  // A partial sequence that runs out of time is dropped, never leaked as ESC.
  KeyDecoder d;
  EXPECT_EQ(decode(d, "\x1b[1;", 0), "");
  d.expire(1000);
  EXPECT_EQ(decode(d, "z", 1000), "z");
  // Endless parameter bytes do not grow without bound.
  EXPECT_EQ(decode(d, "\x1b[" + std::string(100, '1') + "~q", 2000), "q");
}

TEST(KeyDecoder, ControlByteCutsASequenceShortAndCounts) {
  EXPECT_EQ(decode("\x1b[1\rx"), "\rx");
  EXPECT_EQ(decode("\x1b[\x1b[B"), std::string(1, static_cast<char>(key::DOWN)));
}

TEST(KeyDecoder, SequenceSplitAcrossReadsWithinTheLookAhead) {
  KeyDecoder d;
  EXPECT_EQ(decode(d, "\x1b", 0), "");
  EXPECT_EQ(decode(d, "[", 20), "");
  EXPECT_EQ(decode(d, "1", 30), "");
  EXPECT_EQ(decode(d, "5", 40), "");
  EXPECT_EQ(decode(d, "~", 49), std::string(1, static_cast<char>(key::F5)));
  EXPECT_EQ(decode(d, "\x1bO", 100), "");
  EXPECT_EQ(decode(d, "S", 149), std::string(1, static_cast<char>(key::F4)));
}

TEST(KeyDecoder, ArbitraryInputOnlyEverYieldsItsBytesOrKnownKeysAndNoInventedEsc) {
  std::mt19937 rng(7100);
  const std::string alphabet = "\x1b\x1b\x1b[[[OOO0123456789;;~~$^@ABCDEFHPQRSabcdZz\r\x7f\x80\xff";
  for (int round = 0; round < 2000; ++round) {
    KeyDecoder d;
    std::string in;
    std::string out;
    std::int64_t now = 0;
    for (int i = 0; i < 40; ++i) {
      char c = alphabet[rng() % alphabet.size()];
      in.push_back(c);
      now += rng() % 3 == 0 ? 60 : 1;  // some bytes after the look-ahead, most within it
      out += decode(d, std::string(1, c), now);
      ASSERT_LE(d.ms_until_expiry(now), KeyDecoder::ESC_LOOKAHEAD_MS);
    }
    d.flush();
    out += decode(d, "");
    ASSERT_FALSE(d.pending());
    std::size_t esc_in = 0, esc_out = 0;
    for (char c : out) {
      auto k = static_cast<KeyCode>(c);
      // A key code above the characters only for a named key: the alphabet's 0x80/0xFF pass as
      // themselves, and nothing else lands there.
      if (k >= key::FIRST_SPECIAL && k != 0xFF) {
        ASSERT_LE(k, key::F12) << int(k);
      }
      esc_out += k == key::ESC;
    }
    for (char c : in) esc_in += c == '\x1b';
    ASSERT_LE(esc_out, esc_in);
    ASSERT_LE(out.size(), in.size());
  }
}

}  // namespace
}  // namespace dravel::platform
