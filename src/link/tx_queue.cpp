#include "link/tx_queue.h"

#include "link/serial_port.h"

namespace dravel {

void tx_enqueue(TxQueue& q, std::uint8_t byte) {
  if (q.count == TxQueue::CAPACITY) return;
  q.data[static_cast<size_t>(q.write_index)] = byte;
  q.write_index = (q.write_index + 1) % TxQueue::CAPACITY;
  ++q.count;
}

int tx_send_one(TxQueue& q, SerialPort& port) {
  if (q.count == 0) return 0;
  std::uint8_t byte = q.data[static_cast<size_t>(q.read_index)];
  q.read_index = (q.read_index + 1) % TxQueue::CAPACITY;
  --q.count;
  serial_write_byte(port, byte);
  return 0;
}

void tx_flush(TxQueue& q, SerialPort& port) {
  std::uint8_t out[TxQueue::CAPACITY];
  std::size_t n = 0;
  while (q.count > 0) {
    out[n++] = q.data[static_cast<size_t>(q.read_index)];
    q.read_index = (q.read_index + 1) % TxQueue::CAPACITY;
    --q.count;
  }
  port.write(out, n);
}

}  // namespace dravel
