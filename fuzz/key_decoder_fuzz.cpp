// Key decoder: terminal bytes with the time between them.
#include <cstdint>
#include <cstdlib>

#include "platform/key_decoder.h"

using dravel::platform::KeyDecoder;

static void take(KeyDecoder& d, std::size_t& out, bool& second) {
  std::uint8_t b = d.take();
  ++out;
  second = second ? false : b == 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  KeyDecoder d;
  std::int64_t now = 0;
  std::size_t out = 0;
  bool second = false;
  // Pairs of (byte, milliseconds since the last byte, scaled so 50 ms is reachable).
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    now += data[i + 1] & 0x3F;
    if (d.ms_until_expiry(now) > KeyDecoder::ESC_LOOKAHEAD_MS) std::abort();
    d.feed(data[i], now);
    while (d.has_output()) take(d, out, second);
  }
  d.expire(now + KeyDecoder::ESC_LOOKAHEAD_MS);
  if (d.pending()) std::abort();  // past its look-ahead, nothing may stay held
  d.flush();
  while (d.has_output()) take(d, out, second);
  // An extended key is 0 and its scan code: never a lone 0 at the end.
  if (second) std::abort();
  // Each byte gives at most two (a NUL reads back as 0 and scan code 0).
  if (out > size) std::abort();
  return 0;
}
