#pragma once
// Building wire bytes for the monitor tests.
#include <cstdint>
#include <string>
#include <vector>

namespace dravel::sim::testing {

inline std::string header(std::uint32_t addr, std::uint32_t count) {
  std::string h(1, '\x01');
  for (std::uint32_t v : {addr, count}) {
    for (int shift = 24; shift >= 0; shift -= 8) h.push_back(static_cast<char>(v >> shift));
  }
  return h;
}

// 0x02, the payload padded with `pad` to 2048 bytes, and the 8-bit sum of those 2048.
inline std::string packet(const std::string& data, char pad = '\0', int checksum_error = 0) {
  std::string p(1, '\x02');
  std::string payload = data;
  payload.resize(2048, pad);
  unsigned sum = 0;
  for (char c : payload) sum += static_cast<unsigned char>(c);
  p += payload;
  p.push_back(static_cast<char>(sum + static_cast<unsigned>(checksum_error)));
  return p;
}

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
