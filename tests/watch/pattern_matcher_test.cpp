#include "watch/pattern_matcher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dravel {
namespace {

std::unique_ptr<PatternMatcher> make(const std::string& p) {
  return matcher_create(reinterpret_cast<const std::uint8_t*>(p.data()),
                        static_cast<int>(p.size()));
}

void feed(PatternMatcher& m, const std::string& text) {
  matcher_feed(m, reinterpret_cast<const std::uint8_t*>(text.data()),
               static_cast<int>(text.size()));
}

std::vector<int> table(const PatternMatcher& m) {
  return std::vector<int>(m.failure.begin() + 1, m.failure.end());
}

TEST(PatternMatcher, FailureTables) {
  EXPECT_EQ(table(*make("  \r>>")), (std::vector<int>{0, 1, 0, 0, 0}));
  EXPECT_EQ(table(*make("aabaaa")), (std::vector<int>{0, 1, 0, 1, 2, 2}));
  EXPECT_EQ(table(*make("abab")), (std::vector<int>{0, 0, 1, 2}));
  EXPECT_EQ(matcher_create(reinterpret_cast<const std::uint8_t*>("x"), 0), nullptr);
}

TEST(PatternMatcher, PromptSplitOverChunksAndExtraSpaceFallsBack) {
  auto m = make("  \r>>");
  feed(*m, "  \r");
  EXPECT_FALSE(matcher_matched(*m));
  EXPECT_EQ(m->matched, 3);
  feed(*m, ">>");
  EXPECT_TRUE(matcher_matched(*m));

  matcher_reset(*m);
  feed(*m, "   ");  // the third space keeps two matched through failure[2]
  EXPECT_EQ(m->matched, 2);
  feed(*m, "\r>>");
  EXPECT_TRUE(matcher_matched(*m));
}

TEST(PatternMatcher, StaysMatchedUntilResetAndZeroBytesAreBytes) {
  auto m = make(std::string("a\0b", 3));
  feed(*m, std::string("xa\0b", 4));
  EXPECT_TRUE(matcher_matched(*m));
  feed(*m, "zzz");
  EXPECT_TRUE(matcher_matched(*m));
  matcher_reset(*m);
  EXPECT_FALSE(matcher_matched(*m));
  feed(*m, "ab");
  EXPECT_FALSE(matcher_matched(*m));
}

// Against a plain search: random text over a small alphabet, cut into random chunks.
TEST(PatternMatcher, AgreesWithPlainSearchOverRandomChunks) {
  std::mt19937 rng(7);
  const std::string patterns[] = {"  \r>>", "aabaaa", "abab", "aaa", "abcab", "b"};
  for (const std::string& p : patterns) {
    for (int round = 0; round < 200; ++round) {
      std::string text;
      int len = static_cast<int>(rng() % 40);
      for (int i = 0; i < len; ++i) text += p[rng() % p.size()];
      auto m = make(p);
      std::size_t at = 0;
      std::size_t fed = 0;
      bool found = false;
      while (at < text.size()) {
        std::size_t n = std::min<std::size_t>(1 + rng() % 6, text.size() - at);
        feed(*m, text.substr(at, n));
        at += n;
        bool expect = text.substr(0, at).find(p) != std::string::npos;
        ASSERT_EQ(matcher_matched(*m), expect) << p << " in " << text.substr(0, at);
        if (expect) {
          found = true;
          break;
        }
        fed = at;
      }
      if (found) continue;
      // Not found: `matched` is the longest pattern prefix the text ends with.
      int longest = 0;
      for (int k = 1; k < static_cast<int>(p.size()) && k <= static_cast<int>(fed); ++k)
        if (text.compare(fed - static_cast<std::size_t>(k), static_cast<std::size_t>(k), p, 0,
                         static_cast<std::size_t>(k)) == 0)
          longest = k;
      EXPECT_EQ(m->matched, longest) << p << " after " << text;
    }
  }
}

}  // namespace
}  // namespace dravel
