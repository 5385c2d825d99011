#pragma once
// A scripted server behind the socket seam, on a clock that moves only in waits: it answers
// what it is sent through `serve`, and can stop reading or take only a few bytes a call.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/stream_socket.h"

namespace dravel::test {

using Bytes = std::vector<std::uint8_t>;

class FakeSocket : public platform::StreamSocket {
 public:
  std::function<void(const Bytes& sent, Bytes& reply)> serve = [](const Bytes&, Bytes&) {};
  std::string refuse;
  Bytes sent;
  std::deque<std::uint8_t> inbound;
  bool closed_by_server = false;
  std::int64_t clock = 0;
  // A server that stops reading: sends find no room.
  bool reads = true;
  std::size_t takes_per_call = SIZE_MAX;

  std::string connect(const std::string&, int, int) override {
    open_ = refuse.empty();
    return refuse;
  }
  void close() override { open_ = false; }
  bool is_open() const override { return open_; }
  long receive(std::uint8_t* buf, std::size_t max) override {
    if (inbound.empty()) return closed_by_server ? (failure_ = "closed", -1) : 0;
    std::size_t n = 0;
    for (; n < max && !inbound.empty(); ++n) {
      buf[n] = inbound.front();
      inbound.pop_front();
    }
    return static_cast<long>(n);
  }
  long send_some(const std::uint8_t* data, std::size_t n) override {
    if (!reads) return 0;
    Bytes chunk(data, data + std::min(n, takes_per_call)), reply;
    sent.insert(sent.end(), chunk.begin(), chunk.end());
    serve(chunk, reply);
    inbound.insert(inbound.end(), reply.begin(), reply.end());
    return static_cast<long>(chunk.size());
  }
  void wait_readable(int timeout_ms) override {
    if (inbound.empty()) clock += timeout_ms;
  }
  void wait_writable(int timeout_ms) override {
    if (!reads) clock += timeout_ms;
  }
  std::string failure() const override { return failure_; }
  std::int64_t now_ms() const override { return clock; }

 private:
  bool open_ = false;
  std::string failure_;
};

}  // namespace dravel::test
