#pragma once
#include <array>
#include <cstdint>

namespace dravel {

class SerialPort;

// Bytes waiting for the target; drained one byte per tx_send_one.
struct TxQueue {
  static constexpr int CAPACITY = 1024;
  std::array<std::uint8_t, CAPACITY> data{};
  std::int32_t count = 0;
  std::int32_t write_index = 0;
  std::int32_t read_index = 0;

  void reset() { count = write_index = read_index = 0; }
};

// Drops the byte when the queue is full.
void tx_enqueue(TxQueue& q, std::uint8_t byte);
// Offers the oldest queued byte to the port without waiting: true when it went. A byte the
// line has no room for stays queued, and the loop waits for room with its keys live.
bool tx_send_one(TxQueue& q, SerialPort& port);
// Writes everything queued, oldest first, in one go (waiting for room as the port does).
void tx_flush(TxQueue& q, SerialPort& port);

}  // namespace dravel
