#include "sim/stream.h"

#include "sim/seeded.h"

namespace dravel::sim {

namespace {
constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
}

std::string seeded_stream(std::uint64_t seed, std::size_t length) {
  Seeded draws(seed);
  std::string out(length, '\0');
  for (std::size_t i = 0; i < length; ++i) {
    std::size_t column = i % (STREAM_LINE + 2);
    out[i] = column == STREAM_LINE       ? '\r'
             : column == STREAM_LINE + 1 ? '\n'
                                         : ALPHABET[draws.next() % 64];
  }
  return out;
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t n) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace dravel::sim
