#pragma once
// Turns the bytes a terminal sends for its keys (xterm, VT220, rxvt, the Linux console)
// into the key codes the program reads: plain bytes as themselves, and the cursor block
// and function keys as their codes (base/keys.h). No operating system here: the caller
// supplies the bytes and a millisecond clock.
#include <cstdint>
#include <deque>
#include <string>

#include "base/keys.h"

namespace dravel::platform {

class KeyDecoder {
 public:
  // A lone ESC is a key only once this long has passed with no byte after it.
  static constexpr std::int64_t ESC_LOOKAHEAD_MS = 50;
  // Longer sequences are not keys; they are dropped rather than held.
  static constexpr std::size_t MAX_SEQUENCE = 16;

  void feed(std::uint8_t byte, std::int64_t now_ms);
  // Settles a sequence that has waited its look-ahead: a lone ESC becomes 27, a
  // partial sequence is dropped.
  void expire(std::int64_t now_ms);
  // Settles the pending sequence now, whatever the time (no more input will come).
  void flush();

  // A sequence has started and waits for more bytes.
  bool pending() const { return !seq_.empty(); }
  // Milliseconds until `expire` would settle the pending sequence (0 when due or none).
  std::int64_t ms_until_expiry(std::int64_t now_ms) const;

  bool has_output() const { return !out_.empty(); }
  // Next decoded key; only after has_output().
  KeyCode take();

 private:
  void emit_sequence();
  void process(std::uint8_t byte);
  void emit_key(KeyCode code);

  std::string seq_;              // bytes of the sequence being read, ESC first
  std::int64_t started_ms_ = 0;  // when the pending sequence's ESC arrived
  std::int64_t now_ms_ = 0;      // time of the byte being processed
  bool discarding_ = false;      // inside an overlong sequence, until its final byte
  std::deque<KeyCode> out_;
};

}  // namespace dravel::platform
