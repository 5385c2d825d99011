#include "sim/pacing.h"

#include <algorithm>

namespace dravel::sim {

namespace {
constexpr std::uint64_t US_PER_S = 1'000'000;
}

void Pacer::set_baud(long baud) {
  baud_ = baud > 0 ? baud : 0;
  busy_ = false;
  run_bytes_ = 0;
}

std::uint64_t Pacer::run_time_us(std::uint64_t k) const {
  if (baud_ <= 0) return 0;
  const auto b = static_cast<std::uint64_t>(baud_);
  return (k * BITS_PER_BYTE * US_PER_S + b - 1) / b;
}

std::size_t Pacer::release(std::size_t pending, std::uint64_t now_us, std::size_t max) {
  if (baud_ <= 0) return std::min(pending, max);
  if (pending == 0) {
    busy_ = false;
    return 0;
  }
  if (!busy_) {
    // The line has been idle; the next byte starts now, or when the last one ended.
    std::uint64_t last_end = run_start_us_ + run_time_us(run_bytes_);
    run_start_us_ = std::max(now_us, last_end);
    run_bytes_ = 0;
    busy_ = true;
  }
  if (now_us < run_start_us_) return 0;
  const std::uint64_t crossed =
      (now_us - run_start_us_) * static_cast<std::uint64_t>(baud_) / (BITS_PER_BYTE * US_PER_S);
  const std::size_t n = static_cast<std::size_t>(
      std::min<std::uint64_t>(std::min(pending, max), crossed - run_bytes_));
  run_bytes_ += n;
  if (n == pending) busy_ = false;
  return n;
}

std::uint64_t Pacer::next_release_us(std::uint64_t now_us) const {
  if (baud_ <= 0) return now_us;
  if (!busy_) {
    std::uint64_t last_end = run_start_us_ + run_time_us(run_bytes_);
    return std::max(now_us, last_end) + run_time_us(1);
  }
  return run_start_us_ + run_time_us(run_bytes_ + 1);
}

}  // namespace dravel::sim
