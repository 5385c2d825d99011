// Stamps on the board's text: where they go, what they say, and that cutting them away gives
// back exactly what the board sent, however its bytes were split.
#include "commands/line_stamper.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

namespace dravel {
namespace {

StampTime at(std::int64_t ms) {
  StampTime t;
  t.steady_ms = ms;
  t.local.year = 2026, t.local.month = 12, t.local.day = 9;
  const std::int64_t of_day = (13 * 3600 + 5 * 60 + 59) * 1000LL + ms;
  t.local.hour = static_cast<int>(of_day / 3'600'000 % 24);
  t.local.minute = static_cast<int>(of_day / 60'000 % 60);
  t.local.second = static_cast<int>(of_day / 1000 % 60);
  t.local.millisecond = static_cast<int>(of_day % 1000);
  return t;
}

const char* const STAMP[] = {
    "",                                               // off
    R"(\[\d\d:\d\d:\d\d\.\d{3}\] )",                  // abs
    R"(\[\+\d+\.\d{3}\] )",                           // delta
    R"(\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\] )",  // iso
};

// The text without a stamp at each line's start; the stamps found go to `stamps`.
std::string cut_stamps(const std::string& text, StampMode mode, std::vector<std::string>* stamps) {
  const std::regex stamp(std::string("^") + STAMP[static_cast<int>(mode)]);
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find('\n', i);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string line = text.substr(i, end - i);
    std::smatch m;
    if (mode != StampMode::Off && std::regex_search(line, m, stamp)) {
      if (stamps != nullptr) stamps->push_back(m.str());
      line = m.suffix();
    }
    out += line;
    i = end;
  }
  return out;
}

TEST(LineStamper, StampsEachLineWhenItsFirstByteComes) {
  struct Piece {
    std::int64_t ms;
    const char* bytes;
  };
  struct Case {
    StampMode mode;
    std::vector<Piece> pieces;
    const char* out;
  };
  const Case cases[] = {
      {StampMode::Abs,
       {{0, "KRVB mon\r\n> "}, {42, "d 0\r"}, {1500, "\n"}},
       "[13:05:59.000] KRVB mon\r\n[13:05:59.000] > d 0\r\n"},
      {StampMode::Iso,
       {{123, "a\nb"}, {61'000, "c\n"}},
       "[2026-12-09T13:05:59.123] a\n[2026-12-09T13:05:59.123] bc\n"},
      {StampMode::Delta,
       {{1000, "a\n"}, {1042, "b"}, {5000, "\n\n"}, {65'432, "c"}},
       "[+0.000] a\n[+0.042] b\n[+3.958] \n[+60.432] c"},
      {StampMode::Delta, {{5000, "a\n"}, {4000, "b\n"}}, "[+0.000] a\n[+0.000] b\n"},
      {StampMode::Abs, {{0, ""}, {7, "\n"}}, "[13:05:59.007] \n"},
      {StampMode::Off, {{0, "a\nb\n"}}, "a\nb\n"},
  };
  for (const Case& c : cases) {
    LineStamper s(c.mode);
    std::string out;
    for (const Piece& p : c.pieces) s.feed(p.bytes, at(p.ms), out);
    EXPECT_EQ(out, c.out) << stamp_mode_name(c.mode);
  }
  // Every byte passes, NUL and 0xFF too.
  LineStamper s(StampMode::Abs);
  std::string out;
  s.feed(std::string_view("\0\xff\n", 3), at(0), out);
  EXPECT_EQ(out, std::string("[13:05:59.000] \0\xff\n", 18));
}

TEST(LineStamper, ModesByNameAndAChangeWaitsForTheNextLine) {
  for (const char* w : {"off", "abs", "delta", "iso"})
    EXPECT_STREQ(stamp_mode_name(*parse_stamp_mode(w)), w);
  EXPECT_FALSE(parse_stamp_mode("Abs"));
  EXPECT_FALSE(parse_stamp_mode(""));

  LineStamper s(StampMode::Off);
  std::string out;
  s.feed("ab", at(0), out);
  EXPECT_TRUE(s.mid_line());
  s.set_mode(StampMode::Delta);
  s.feed("c\nd\n", at(10), out);
  EXPECT_FALSE(s.mid_line());
  EXPECT_EQ(out, "abc\n[+0.000] d\n");
}

// Any split of the board's text into reads, at rising times: the stamps cut away give the
// text back, every line has one, they never go back, and each is the time of its line's
// first byte.
TEST(LineStamper, CuttingTheStampsAwayGivesBackTheInputForAnySplit) {
  std::mt19937 rng(2026);
  for (int round = 0; round < 300; ++round) {
    std::string input;
    const std::size_t size = rng() % 400;
    for (std::size_t i = 0; i < size; ++i) {
      const unsigned r = rng() % 10;
      input += r == 0 ? '\n' : r == 1 ? '\r' : static_cast<char>(rng() % 256);
    }
    const auto mode = static_cast<StampMode>(1 + rng() % 3);
    LineStamper s(mode);
    std::string out;
    std::int64_t ms = 0;
    std::vector<std::int64_t> line_starts;  // the time each line's first byte came
    bool at_start = true;
    for (std::size_t i = 0; i < input.size();) {
      const std::size_t n = std::min<std::size_t>(input.size() - i, 1 + rng() % 40);
      ms += rng() % 3000;
      for (std::size_t k = i; k < i + n; ++k) {
        if (at_start) line_starts.push_back(ms);
        at_start = input[k] == '\n';
      }
      s.feed(std::string_view(input).substr(i, n), at(ms), out);
      i += n;
    }
    std::vector<std::string> stamps;
    ASSERT_EQ(cut_stamps(out, mode, &stamps), input) << "round " << round;
    ASSERT_EQ(stamps.size(), line_starts.size());
    std::int64_t previous = 0;
    for (std::size_t k = 0; k < stamps.size(); ++k) {
      const std::int64_t d = k == 0 ? 0 : line_starts[k] - previous;
      const std::string expected =
          format_stamp(mode, at(line_starts[k]), k == 0 ? std::nullopt : std::optional(previous));
      ASSERT_EQ(stamps[k], expected) << "line " << k << " delta " << d;
      previous = line_starts[k];
    }
  }
}

}  // namespace
}  // namespace dravel
