#pragma once
// A small seeded generator (splitmix64): the same seed gives the same numbers on every
// platform, so a test tool can work out what the monitor did from the seed alone.
#include <cstdint>

namespace dravel::sim {

class Seeded {
 public:
  explicit Seeded(std::uint64_t seed = 0) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // True for about `per_mille` draws in a thousand.
  bool chance(std::uint32_t per_mille) { return per_mille > 0 && next() % 1000 < per_mille; }

 private:
  std::uint64_t state_;
};

}  // namespace dravel::sim
