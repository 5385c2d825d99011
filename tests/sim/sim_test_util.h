#pragma once
// Building wire bytes for the monitor tests.
#include <cstdint>
#include <string>
#include <vector>

#include "support/wire.h"

namespace dravel::sim::testing {

using test::packet;
using test::transfer_header;

inline std::string pattern(std::size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 7 + seed * 13 + i / 256) & 0xFF);
  return s;
}

inline std::string as_string(const std::vector<std::uint8_t>& v) {
  return std::string(v.begin(), v.end());
}

}  // namespace dravel::sim::testing
