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
#include "platform/telnet_codec.h"

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

// ser2net's manner: agrees to the options asked, answers each COM-PORT command with its value
// (the rate replaced by `rate` when nonzero).
inline void agreeable(const Bytes& sent, Bytes& reply, std::uint32_t rate = 0, bool com_port = true,
                      bool answers = true) {
  using namespace platform::telnet;
  for (std::size_t i = 0; i + 2 < sent.size(); ++i) {
    if (sent[i] != IAC) continue;
    const std::uint8_t v = sent[i + 1], opt = sent[i + 2];
    if (v == WILL)
      reply.insert(reply.end(), {IAC, (opt == COM_PORT && !com_port) ? DONT : DO, opt});
    if (v == DO) reply.insert(reply.end(), {IAC, WILL, opt});
    if (v == SB && opt == COM_PORT && answers) {
      std::size_t end = i + 3;
      while (end + 1 < sent.size() && !(sent[end] == IAC && sent[end + 1] == SE)) ++end;
      Bytes answer(sent.begin() + static_cast<long>(i), sent.begin() + static_cast<long>(end) + 2);
      answer[3] += SERVER_OFFSET;
      if (answer[3] == SET_BAUDRATE + SERVER_OFFSET && rate != 0)
        answer = {IAC,
                  SB,
                  COM_PORT,
                  101,
                  static_cast<std::uint8_t>(rate >> 24),
                  static_cast<std::uint8_t>(rate >> 16),
                  static_cast<std::uint8_t>(rate >> 8),
                  static_cast<std::uint8_t>(rate),
                  IAC,
                  SE};
      reply.insert(reply.end(), answer.begin(), answer.end());
      i = end;
    }
  }
}

}  // namespace dravel::test
