#pragma once
// A TCP listener on 127.0.0.1, at a port the kernel picks, for the scripted servers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace dravel::e2e {

// The listening socket; its port in `port`. A `receive_buffer` above 0 is inherited by the
// connections it accepts: a small one shuts the sender's window soon.
inline int listen_on_loopback(int backlog, int& port, int receive_buffer = 0) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (receive_buffer > 0)
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), len), 0);
  EXPECT_EQ(::listen(fd, backlog), 0);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

}  // namespace dravel::e2e
