#pragma once
// Streaming substring matcher (Knuth-Morris-Pratt); state survives across chunks.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dravel {

struct PatternMatcher {
  std::vector<std::uint8_t> pattern;
  int length = 0;
  int matched = 0;
  std::vector<int> failure;  // entries 1..length
};

std::unique_ptr<PatternMatcher> matcher_create(const std::uint8_t* pattern, int length);
void matcher_reset(PatternMatcher& m);
// Returns how many bytes it took: all of them, or those up to and including a match.
int matcher_feed(PatternMatcher& m, const std::uint8_t* bytes, int count);
bool matcher_matched(const PatternMatcher& m);

}  // namespace dravel
