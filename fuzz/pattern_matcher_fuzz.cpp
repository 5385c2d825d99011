// The streaming matcher against a plain substring search, fed in chunks of any size.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "watch/pattern_matcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // First byte: pattern length (1..32); then the pattern; then chunks, each led by its length.
  if (size < 2) return 0;
  std::size_t length = (data[0] & 31) + 1;
  if (size < 1 + length) return 0;
  const std::uint8_t* pattern = data + 1;
  auto m = dravel::matcher_create(pattern, static_cast<int>(length));
  if (!m) std::abort();

  std::string_view needle(reinterpret_cast<const char*>(pattern), length);
  std::string_view all(reinterpret_cast<const char*>(data), size);
  std::size_t pos = 1 + length;
  std::string fed;  // the text since the last reset; length bytes are not part of it
  while (pos < size) {
    std::size_t chunk = std::min<std::size_t>(data[pos] & 15, size - pos - 1);
    ++pos;
    dravel::matcher_feed(*m, data + pos, static_cast<int>(chunk));
    pos += chunk;
    fed.append(all.substr(pos - chunk, chunk));
    bool expected = fed.find(needle) != std::string::npos;
    if (dravel::matcher_matched(*m) != expected) std::abort();
    if (chunk == 0 && (data[pos - 1] & 16) != 0) {
      dravel::matcher_reset(*m);
      fed.clear();
    }
  }
  return 0;
}
