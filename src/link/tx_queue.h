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
// Writes at most one queued byte; always 0.
int tx_send_one(TxQueue& q, SerialPort& port);
// Writes everything queued, oldest first, in one go.
void tx_flush(TxQueue& q, SerialPort& port);

}  // namespace dravel
