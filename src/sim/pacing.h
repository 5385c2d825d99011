#pragma once
// Paces output at a serial line's speed: each byte takes 10 bit times (start, 8 data,
// stop), and a byte is handed over only once it would have crossed the line. Times are
// microseconds on any monotonic clock the caller keeps.
#include <cstddef>
#include <cstdint>
#include <limits>

namespace dravel::sim {

class Pacer {
 public:
  static constexpr std::uint64_t BITS_PER_BYTE = 10;

  // 0 turns pacing off.
  void set_baud(long baud);
  long baud() const { return baud_; }
  bool active() const { return baud_ > 0; }

  // Microseconds from the start of a run to the end of its `k`th byte (rounded up).
  std::uint64_t run_time_us(std::uint64_t k) const;

  // Of `pending` bytes waiting, how many (at most `max`) have crossed the line by `now_us`;
  // they count as sent. A line that was idle starts its next byte at `now_us`.
  std::size_t release(std::size_t pending, std::uint64_t now_us,
                      std::size_t max = std::numeric_limits<std::size_t>::max());
  // When the next waiting byte will have crossed, if one is waiting from `now_us` on.
  std::uint64_t next_release_us(std::uint64_t now_us) const;
  // When the last byte handed over finished crossing.
  std::uint64_t line_free_us() const { return run_start_us_ + run_time_us(run_bytes_); }

 private:
  long baud_ = 0;
  bool busy_ = false;
  std::uint64_t run_start_us_ = 0;
  std::uint64_t run_bytes_ = 0;
};

}  // namespace dravel::sim
