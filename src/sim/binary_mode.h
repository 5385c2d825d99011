#pragma once
// The monitor's binary mode: transfer headers and 2048-byte checksummed packets, in the
// direction chosen by "bwr" (host to memory) or "brd" (memory to host). A lone CR leaves.
#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/faults.h"
#include "sim/memory.h"
#include "sim/reply.h"
#include "sim/seeded.h"

namespace dravel::sim {

enum class BinaryDirection { write, read };

class BinaryMode {
 public:
  static constexpr std::size_t PACKET_SIZE = 2048;
  static constexpr std::uint8_t HEADER = 0x01;
  static constexpr std::uint8_t PACKET = 0x02;

  BinaryMode(Memory& memory, const Faults& faults, Reply& reply)
      : memory_(memory), faults_(faults), reply_(reply) {}

  void enter(BinaryDirection direction);
  // One byte from the host; true when binary mode has ended.
  bool feed(std::uint8_t b);

  BinaryDirection direction() const { return direction_; }
  // Packets over the whole run, resends counted: received in write mode, sent in read mode.
  std::uint64_t host_packets() const { return host_packets_; }
  std::uint64_t sent_packets() const { return sent_packets_; }
  // Packets spoilt on purpose by the fault rates: answered 'N', or sent spoilt.
  std::uint64_t faulted_packets() const { return faulted_packets_; }
  // The current transfer: where the next packet goes or comes from, and what is left.
  std::uint32_t address() const { return address_; }
  std::uint64_t remaining() const { return remaining_; }

 private:
  enum class Phase { idle, header, packet, answer };

  bool idle_byte(std::uint8_t b);
  void header_done();
  void packet_done();
  void send_packet();
  std::size_t packet_bytes() const;

  Memory& memory_;
  const Faults& faults_;
  Reply& reply_;

  BinaryDirection direction_ = BinaryDirection::write;
  Phase phase_ = Phase::idle;
  std::array<std::uint8_t, 8> header_{};
  std::array<std::uint8_t, PACKET_SIZE + 1> packet_{};  // payload and checksum
  std::size_t got_ = 0;

  bool accepted_ = false;  // the last header named a range the monitor will serve
  std::uint32_t address_ = 0;
  std::uint64_t remaining_ = 0;
  std::uint64_t host_packets_ = 0;
  std::uint64_t sent_packets_ = 0;
  std::uint64_t faulted_packets_ = 0;
  Seeded draws_;
  bool seeded_ = false;

  Seeded& draws();
};

}  // namespace dravel::sim
