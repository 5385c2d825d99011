#pragma once
// Checkable output: a seeded stream of printable lines that a test tool can regenerate from
// the seed alone, and a CRC-32 of memory, so what reached the host can be compared, not
// just counted.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dravel::sim {

// Lines of 72 characters from [A-Za-z0-9-_], each ended by CR LF; `length` bytes in all (the
// last line may be cut). Character k of the stream (not counting line ends) is
// ALPHABET[Seeded(seed) draw k % 64].
inline constexpr std::size_t STREAM_LINE = 72;
std::string seeded_stream(std::uint64_t seed, std::size_t length);

// The CRC-32 of zlib and PNG.
std::uint32_t crc32(const std::uint8_t* data, std::size_t n);

}  // namespace dravel::sim
