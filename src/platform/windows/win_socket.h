#pragma once
// A TCP connection on Winsock, with an event the idle wait can sleep on.
#include <winsock2.h>

#include "platform/found_addresses.h"
#include "platform/stream_socket.h"

namespace dravel::platform {

class WinSocket : public StreamSocket {
 public:
  WinSocket();
  ~WinSocket() override;
  WinSocket(const WinSocket&) = delete;
  WinSocket& operator=(const WinSocket&) = delete;

  std::string connect(const std::string& host, int port, int timeout_ms) override;
  void close() override;
  bool is_open() const override { return socket_ != INVALID_SOCKET; }
  long receive(std::uint8_t* buf, std::size_t max) override;
  long send_some(const std::uint8_t* data, std::size_t n) override;
  void wait_readable(int timeout_ms) override;
  void wait_writable(int timeout_ms) override;
  std::string failure() const override { return failure_; }
  std::int64_t now_ms() const override;

  // Signalled when bytes or the end of the connection arrive, and when the connection takes
  // more after a send it refused (FD_WRITE); reset by rearm().
  HANDLE event() const { return event_; }
  void rearm() { WSAResetEvent(event_); }
  // Bytes waiting to be received.
  long pending() const;

 private:
  long fail(std::string why);

  SOCKET socket_ = INVALID_SOCKET;
  HANDLE event_ = nullptr;
  bool started_ = false;
  std::string failure_;
  FoundAddresses addresses_;
};

}  // namespace dravel::platform
