#pragma once
// A non-blocking TCP connection on POSIX sockets.
#include <netdb.h>

#include "platform/found_addresses.h"
#include "platform/stream_socket.h"

namespace dravel::platform {

class PosixSocket : public StreamSocket {
 public:
  ~PosixSocket() override { close(); }
  std::string connect(const std::string& host, int port, int timeout_ms) override;
  void close() override;
  bool is_open() const override { return fd_ >= 0; }
  long receive(std::uint8_t* buf, std::size_t max) override;
  long send_some(const std::uint8_t* data, std::size_t n) override;
  void wait_readable(int timeout_ms) override;
  void wait_writable(int timeout_ms) override;
  std::string failure() const override { return failure_; }
  std::int64_t now_ms() const override;

  int fd() const { return fd_; }
  // How a name is looked up: once per name and port in a run (FoundAddresses).
  int (*lookup)(const char*, const char*, const addrinfo*, addrinfo**) = ::getaddrinfo;

 private:
  long fail(std::string why);

  int fd_ = -1;
  std::string failure_;
  FoundAddresses addresses_;
};

}  // namespace dravel::platform
