#include "sim/binary_mode.h"

#include <algorithm>
#include <numeric>

namespace dravel::sim {

namespace {
constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t BREAK = 0x03;
constexpr std::uint8_t ACK = 'Y';
constexpr std::uint8_t NAK = 'N';

std::uint8_t checksum(const std::uint8_t* data, std::size_t n) {
  return static_cast<std::uint8_t>(std::accumulate(data, data + n, 0u));
}

std::uint32_t big_endian(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         p[3];
}
}  // namespace

void BinaryMode::enter(BinaryDirection direction) {
  direction_ = direction;
  phase_ = Phase::idle;
  got_ = 0;
  accepted_ = false;
  remaining_ = 0;
  // Nothing may follow: in read mode the host takes every later byte as payload.
  reply_.say("\r\nbinary\r");
}

bool BinaryMode::feed(std::uint8_t b) {
  switch (phase_) {
    case Phase::idle:
      return idle_byte(b);
    case Phase::header:
      header_[got_++] = b;
      if (got_ == header_.size()) header_done();
      return false;
    case Phase::packet:
      packet_[got_++] = b;
      if (got_ == packet_.size()) packet_done();
      return false;
    case Phase::answer:
      if (b == ACK) {
        std::size_t n = packet_bytes();
        address_ += static_cast<std::uint32_t>(n);
        remaining_ -= n;
        phase_ = Phase::idle;
        return false;
      }
      // 'N' or a fresh request: the same packet goes again on the next request.
      phase_ = Phase::idle;
      return b == NAK ? false : idle_byte(b);
  }
  return false;
}

bool BinaryMode::idle_byte(std::uint8_t b) {
  switch (b) {
    case HEADER:
      phase_ = Phase::header;
      got_ = 0;
      return false;
    case PACKET:
      if (direction_ == BinaryDirection::write) {
        phase_ = Phase::packet;
        got_ = 0;
      } else {
        send_packet();
      }
      return false;
    case CR:
      reply_.say("end binary\r");
      reply_.prompt();
      return true;
    case BREAK:
      // Never part of framing, so a host that lost its way can still get out.
      reply_.say("^C");
      reply_.prompt();
      return true;
    default:
      return false;  // stray bytes between frames are ignored
  }
}

void BinaryMode::header_done() {
  phase_ = Phase::idle;
  address_ = big_endian(header_.data());
  remaining_ = big_endian(header_.data() + 4);
  // A range that leaves the mapped memory is refused whole: packets for it are answered
  // 'N' in write mode and requests for it go unanswered in read mode.
  accepted_ = memory_.mapped(address_, remaining_);
  if (!accepted_) remaining_ = 0;
}

std::size_t BinaryMode::packet_bytes() const {
  return static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, PACKET_SIZE));
}

// Seeded on first use, so the seed may be set after the monitor is made.
Seeded& BinaryMode::draws() {
  if (!seeded_) draws_ = Seeded(faults_.fault_seed);
  seeded_ = true;
  return draws_;
}

void BinaryMode::packet_done() {
  phase_ = Phase::idle;
  ++host_packets_;
  bool forced_nak = faults_.nak_host_packet != 0 && host_packets_ == faults_.nak_host_packet;
  if (faults_.nak_per_mille > 0 && draws().chance(faults_.nak_per_mille)) {
    forced_nak = true;
    ++faulted_packets_;
  }
  const bool good = checksum(packet_.data(), PACKET_SIZE) == packet_[PACKET_SIZE];
  if (forced_nak || !good || !accepted_ || remaining_ == 0) {
    reply_.byte(NAK);
    return;
  }
  std::size_t n = packet_bytes();
  memory_.write(address_, packet_.data(), n);
  address_ += static_cast<std::uint32_t>(n);
  remaining_ -= n;
  reply_.byte(ACK);
}

void BinaryMode::send_packet() {
  if (!accepted_ || remaining_ == 0) return;
  std::size_t n = packet_bytes();
  std::vector<std::uint8_t> data = memory_.read(address_, n);
  data.resize(PACKET_SIZE + 1, 0);
  std::uint8_t sum = checksum(data.data(), PACKET_SIZE);
  ++sent_packets_;
  if (faults_.corrupt_sent_packet != 0 && sent_packets_ == faults_.corrupt_sent_packet) ++sum;
  data[PACKET_SIZE] = sum;
  if (faults_.corrupt_per_mille > 0 && draws().chance(faults_.corrupt_per_mille)) {
    data[draws().next() % PACKET_SIZE] ^= 0x5A;
    ++faulted_packets_;
  }
  if (faults_.lose_byte_of_sent_packet != 0 && sent_packets_ == faults_.lose_byte_of_sent_packet)
    data.erase(data.begin() + PACKET_SIZE / 2);
  reply_.say(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
  phase_ = Phase::answer;
}

}  // namespace dravel::sim
