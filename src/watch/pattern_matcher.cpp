#include "watch/pattern_matcher.h"

#include <cstring>
#include <new>

namespace dravel {

std::unique_ptr<PatternMatcher> matcher_create(const std::uint8_t* pattern, int length) {
  if (pattern == nullptr || length <= 0) return nullptr;
  std::unique_ptr<PatternMatcher> m(new (std::nothrow) PatternMatcher);
  if (!m) return nullptr;
  try {
    m->pattern.assign(pattern, pattern + length);
    m->failure.assign(static_cast<std::size_t>(length) + 1, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  m->length = length;

  // failure[k]: longest proper prefix of the first k bytes that is also their suffix.
  const std::vector<std::uint8_t>& p = m->pattern;
  std::vector<int>& f = m->failure;
  int i = 1;
  int j = 0;
  while (i < length) {
    if (p[static_cast<std::size_t>(i)] == p[static_cast<std::size_t>(j)]) {
      ++i;
      ++j;
      f[static_cast<std::size_t>(i)] = j;
    } else if (j == 0) {
      ++i;
      f[static_cast<std::size_t>(i)] = 0;
    } else {
      j = f[static_cast<std::size_t>(j)];
    }
  }
  return m;
}

void matcher_reset(PatternMatcher& m) {
  m.matched = 0;
}

int matcher_feed(PatternMatcher& m, const std::uint8_t* bytes, int count) {
  // Once matched, stays matched until reset.
  if (m.matched >= m.length) return 0;
  int i = m.matched;
  int pos = 0;
  while (pos < count && i < m.length) {
    if (bytes[pos] == m.pattern[static_cast<std::size_t>(i)]) {
      ++i;
      ++pos;
    } else if (i == 0) {
      // Nothing matched yet: straight to the next byte that can begin a match.
      const void* next =
          std::memchr(bytes + pos + 1, m.pattern[0], static_cast<std::size_t>(count - pos - 1));
      pos = next != nullptr ? static_cast<int>(static_cast<const std::uint8_t*>(next) - bytes)
                            : count;
    } else {
      i = m.failure[static_cast<std::size_t>(i)];
    }
  }
  m.matched = i;
  return pos;
}

bool matcher_matched(const PatternMatcher& m) {
  return m.matched >= m.length;
}

}  // namespace dravel
