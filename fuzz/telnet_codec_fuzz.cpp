// Telnet / RFC 2217 decoder: whatever a server sends, in reads of any size. The first byte
// picks the read sizes; the data out never outgrows the input, the answers stay proportionate,
// and data escaped for the network comes back unchanged once binary is agreed.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/telnet_codec.h"

using namespace dravel::platform::telnet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t step = 1 + data[0] % 17;
  Codec c;
  std::vector<std::uint8_t> out, replies, request;
  c.request(true, COM_PORT, request);
  for (std::size_t i = 1; i < size; i += step) {
    const std::size_t n = i + step <= size ? step : size - i;
    const std::size_t before_out = out.size(), before_replies = replies.size();
    c.decode(data + i, n, out, replies);
    if (out.size() - before_out > n) std::abort();
    if (replies.size() - before_replies > 3 * n) std::abort();
  }

  Codec sender, receiver;
  std::vector<std::uint8_t> ignored, wire, back;
  receiver.request(false, BINARY, ignored);
  receiver.decode(std::vector<std::uint8_t>{IAC, WILL, BINARY}.data(), 3, back, ignored);
  sender.decode(std::vector<std::uint8_t>{IAC, DO, BINARY}.data(), 3, back, ignored);
  back.clear();
  sender.encode(data, size, wire);
  receiver.decode(wire.data(), wire.size(), back, ignored);
  if (back != std::vector<std::uint8_t>(data, data + size)) std::abort();
  return 0;
}
