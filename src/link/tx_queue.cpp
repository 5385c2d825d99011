#include "link/tx_queue.h"

#include "link/serial_port.h"

namespace dravel {

void tx_enqueue(TxQueue& q, std::uint8_t byte) {
  if (q.count == TxQueue::CAPACITY) return;
  q.data[static_cast<size_t>(q.write_index)] = byte;
  q.write_index = (q.write_index + 1) % TxQueue::CAPACITY;
  ++q.count;
}

namespace {

// The oldest queued byte, taken off the queue; only when count > 0.
std::uint8_t tx_take(TxQueue& q) {
  std::uint8_t byte = q.data[static_cast<size_t>(q.read_index)];
  q.read_index = (q.read_index + 1) % TxQueue::CAPACITY;
  --q.count;
  return byte;
}

}  // namespace

bool tx_send_one(TxQueue& q, SerialPort& port) {
  if (q.count == 0) return false;
  if (port.write_some(&q.data[static_cast<size_t>(q.read_index)], 1) == 0) return false;
  tx_take(q);
  return true;
}

void tx_flush(TxQueue& q, SerialPort& port) {
  std::uint8_t out[TxQueue::CAPACITY];
  std::size_t n = 0;
  while (q.count > 0) out[n++] = tx_take(q);
  port.write(out, n);
}

}  // namespace dravel
