#include "platform/posix/posix_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/signal_flag.h"
#include "platform/posix/system_clock.h"

namespace dravel::platform {

namespace {

// One address: empty when connected within the time left, else why not.
std::string connect_one(int fd, const FoundAddress& a, std::int64_t deadline) {
  const auto* address = reinterpret_cast<const sockaddr*>(a.sockaddr_bytes.data());
  if (::connect(fd, address, static_cast<socklen_t>(a.sockaddr_bytes.size())) == 0) return {};
  if (errno != EINPROGRESS) return std::strerror(errno);
  for (;;) {
    const std::int64_t left = deadline - steady_ms();
    if (left <= 0) return "no answer from the server (connect timed out)";
    pollfd p{fd, POLLOUT, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) {
      if (pending_signal() != 0) return "interrupted";
      continue;
    }
    if (r <= 0) continue;
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
    return err == 0 ? std::string{} : std::strerror(err);
  }
}

}  // namespace

std::int64_t PosixSocket::now_ms() const {
  return steady_ms();
}

std::string PosixSocket::connect(const std::string& host, int port, int timeout_ms) {
  close();
  failure_.clear();
  const std::vector<FoundAddress>* found = addresses_.find(host, port);
  if (found == nullptr) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (int e = lookup(host.c_str(), service.c_str(), &hints, &list); e != 0)
      return "unknown host " + host + " (" + ::gai_strerror(e) + ")";
    found = &addresses_.keep(host, port, list);
    ::freeaddrinfo(list);
  }
  const std::int64_t deadline = steady_ms() + timeout_ms;
  std::string why = "no address for " + host;
  for (const FoundAddress& a : *found) {
    int fd = ::socket(a.family, a.socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.protocol);
    if (fd < 0) {
      why = std::strerror(errno);
      continue;
    }
    why = connect_one(fd, a, deadline);
    if (why.empty()) {
      int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      fd_ = fd;
      break;
    }
    ::close(fd);
  }
  return why;
}

void PosixSocket::close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

long PosixSocket::fail(std::string why) {
  failure_ = std::move(why);
  return -1;
}

long PosixSocket::receive(std::uint8_t* buf, std::size_t max) {
  if (fd_ < 0) return fail("not connected");
  const ssize_t n = ::recv(fd_, buf, max, 0);
  if (n > 0) {
#ifdef TCP_QUICKACK
    // ser2net leaves Nagle on: its next small segment waits for our ACK, so none is delayed.
    // The kernel drops back to delayed ACKs on its own, hence after every read.
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
#endif
    return n;
  }
  if (n == 0) return fail("the server closed the connection");
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  return fail(std::strerror(errno));
}

long PosixSocket::send_some(const std::uint8_t* data, std::size_t n) {
  if (fd_ < 0) return fail("not connected");
  const ssize_t w = ::send(fd_, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (w >= 0) return static_cast<long>(w);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  return fail(std::strerror(errno));
}

void PosixSocket::wait_readable(int timeout_ms) {
  if (fd_ < 0) return;
  pollfd p{fd_, POLLIN, 0};
  ::poll(&p, 1, timeout_ms);
}

void PosixSocket::wait_writable(int timeout_ms) {
  if (fd_ < 0) return;
  pollfd p{fd_, POLLOUT, 0};
  ::poll(&p, 1, timeout_ms);
}

}  // namespace dravel::platform
