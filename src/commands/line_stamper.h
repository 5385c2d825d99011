#pragma once
// Time stamps on the board's text: each line starts with the time its first byte came, in
// brackets and a space, to the millisecond. Stamped when the first byte arrives, not when
// the line ends, so a prompt or a hung line still shows when it began. Every other byte
// passes as it came: with the stamps cut away the text is what the board sent.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "commands/time_fields.h"

namespace dravel {

enum class StampMode : std::uint8_t {
  Off,
  Abs,    // [13:05:59.123] local time
  Delta,  // [+0.042] seconds since the previous line's stamp
  Iso,    // [2026-12-09T13:05:59.123] local time
};

// "off", "abs", "delta" or "iso"; nothing for another word.
std::optional<StampMode> parse_stamp_mode(std::string_view word);
const char* stamp_mode_name(StampMode mode);

// One clock reading: a steady count for the deltas, the wall clock for the rest.
struct StampTime {
  std::int64_t steady_ms = 0;
  LocalTime local;
};

// The stamp for a line begun at `now` ("" when off), with `previous_ms` the steady time of
// the stamp before it (none for the first line, whose delta is 0).
std::string format_stamp(StampMode mode, const StampTime& now,
                         std::optional<std::int64_t> previous_ms);

class LineStamper {
 public:
  explicit LineStamper(StampMode mode = StampMode::Off) : mode_(mode) {}

  // A change takes effect at the next line; a delta after a change counts from the last stamp.
  void set_mode(StampMode mode) { mode_ = mode; }
  StampMode mode() const { return mode_; }
  // True while a line of the board's has begun and not ended (text of our own written to the
  // same place then would land inside the board's line).
  bool mid_line() const { return mid_line_; }
  // Our own line went to the same place and ended the board's: its next byte starts a line.
  void start_line() { mid_line_ = false; }

  // Appends `bytes` to `out`, a stamp before each line's first byte, all read at `now`.
  void feed(std::string_view bytes, const StampTime& now, std::string& out);

 private:
  StampMode mode_;
  bool mid_line_ = false;
  std::optional<std::int64_t> last_stamp_ms_;
};

}  // namespace dravel
