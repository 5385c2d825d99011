// Key decoder: terminal bytes with the time between them.
#include <cstdint>
#include <cstdlib>

#include "platform/key_decoder.h"

using dravel::platform::KeyDecoder;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  KeyDecoder d;
  std::int64_t now = 0;
  std::size_t fed = 0;
  std::size_t out = 0;
  // Pairs of (byte, milliseconds since the last byte, scaled so 50 ms is reachable).
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    now += data[i + 1] & 0x3F;
    if (d.ms_until_expiry(now) > KeyDecoder::ESC_LOOKAHEAD_MS) std::abort();
    d.feed(data[i], now);
    ++fed;
    for (; d.has_output(); ++out) d.take();
  }
  d.expire(now + KeyDecoder::ESC_LOOKAHEAD_MS);
  if (d.pending()) std::abort();  // past its look-ahead, nothing may stay held
  d.flush();
  for (; d.has_output(); ++out) d.take();
  // Each byte gives at most one key.
  if (out > fed) std::abort();
  return 0;
}
