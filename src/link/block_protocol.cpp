#include "link/block_protocol.h"

#include <algorithm>
#include <cstring>

#include "core/console_out.h"
#include "core/exits.h"
#include "core/waits.h"
#include "link/link.h"
#include "link/link_loss.h"

namespace dravel {

namespace {

constexpr std::uint8_t HEADER_START = 0x01;
constexpr std::uint8_t PACKET_START = 0x02;
constexpr std::uint8_t ACCEPT = 'Y';
constexpr std::uint8_t REJECT = 'N';

std::uint8_t* put_be32(std::uint8_t* out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) *out++ = static_cast<std::uint8_t>(v >> shift);
  return out;
}

// No time limit: only ESC (through terminate_on_abort) ends the wait.
std::uint8_t read_one_byte(Link& link) {
  for (;;) {
    std::uint8_t byte = 0;
    int n = link_read(link, &byte, 1);
    terminate_on_abort(link.core, true);
    if (n == 1) return byte;
    idle_wait(link.core);
  }
}

// Fills `frame` with one packet as the monitor sends it, its payload and its sum. False when
// the line fell silent for PACKET_SILENCE_MS first: a byte was lost, and the monitor, its
// packet sent, waits for the answer while the host would wait for the rest for ever.
bool read_frame(Link& link, std::uint8_t (&frame)[PACKET_SIZE + 1]) {
  platform::Clock& clock = link.clock();
  std::int64_t deadline = clock.milliseconds() + PACKET_SILENCE_MS;
  int have = 0;
  while (have < PACKET_SIZE + 1) {
    const int n = link_read(link, frame + have, PACKET_SIZE + 1 - have);
    have += n;
    terminate_on_abort(link.core, true);
    if (n > 0) {
      deadline = clock.milliseconds() + PACKET_SILENCE_MS;
      continue;
    }
    if (clock.milliseconds() >= deadline) return false;
    idle_wait(link.core, false, deadline);
  }
  return true;
}

std::uint8_t sum_of(const std::uint8_t* data, int n) {
  std::uint8_t sum = 0;
  for (int i = 0; i < n; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
  return sum;
}

}  // namespace

// Byte by byte, as the monitor has always been sent it: nine bytes once per transfer.
std::string transfer_stopped_text() {
  return format_text("\r\ntransfer stopped: a packet went bad %d times in a row\n\r", PACKET_TRIES);
}

void say_transfer_stopped(Link& link) {
  console_write(link.console(), transfer_stopped_text());
}

int send_transfer_header(Link& link, std::uint32_t address, std::uint32_t count) {
  std::uint8_t header[9] = {HEADER_START};
  put_be32(put_be32(header + 1, address), count);
  for (std::uint8_t b : header) serial_write_byte(link.port, b);
  return 0;
}

int send_packets(Link& link, const std::uint8_t* data, std::int32_t length) {
  // The start byte, the payload padded with zeros, and its sum: one write each time.
  std::uint8_t frame[PACKET_SIZE + 2];
  std::int32_t position = 0;
  while (position < length) {
    const int n = static_cast<int>(std::min<std::int32_t>(length - position, PACKET_SIZE));
    frame[0] = PACKET_START;
    std::memcpy(frame + 1, data + position, static_cast<std::size_t>(n));
    std::memset(frame + 1 + n, 0, static_cast<std::size_t>(PACKET_SIZE - n));
    std::uint8_t sum = 0;
    for (int i = 0; i < n; ++i) sum = static_cast<std::uint8_t>(sum + frame[1 + i]);
    frame[PACKET_SIZE + 1] = sum;
    // Any answer but 'Y' sends the same packet again, from its start byte on.
    int tries = 0;
    do {
      if (tries++ == PACKET_TRIES) return -1;
      link.port.write(frame, sizeof frame);
    } while (read_one_byte(link) != ACCEPT);
    position += n;
  }
  return 0;
}

int receive_packets(Link& link, std::uint8_t* buffer, std::int32_t length) {
  std::int32_t received = 0;
  // The target always sends whole packets, and the sum after them; only `want` bytes of a
  // packet go to the caller, so a length that is not a multiple of a packet never writes
  // past its buffer.
  std::uint8_t frame[PACKET_SIZE + 1];
  int bad = 0;  // the current packet's bad arrivals
  while (received < length) {
    const std::int32_t want = std::min<std::int32_t>(length - received, PACKET_SIZE);
    terminate_on_abort(link.core, true);
    serial_write_byte(link.port, PACKET_START);
    // A short packet is answered as a spoilt one: the monitor, waiting for the answer, sends
    // it again on the next request ('N' is ignored should it be between frames instead).
    if (!read_frame(link, frame) || sum_of(frame, PACKET_SIZE) != frame[PACKET_SIZE]) {
      serial_write_byte(link.port, REJECT);
      if (++bad == PACKET_TRIES) return -1;
      continue;
    }
    bad = 0;
    serial_write_byte(link.port, ACCEPT);
    std::memcpy(buffer + received, frame, static_cast<std::size_t>(want));
    received += want;
  }
  return 0;
}

}  // namespace dravel
