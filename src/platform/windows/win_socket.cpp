#include "platform/windows/win_socket.h"

#include <ws2tcpip.h>

#include "platform/windows/win_error.h"

namespace dravel::platform {

namespace {

std::string socket_error() {
  return system_error_text(static_cast<DWORD>(WSAGetLastError()));
}

// Waits until `s` can be written (connected) or `timeout_ms` passes; false on timeout.
bool writable_within(SOCKET s, int timeout_ms) {
  fd_set write_set, error_set;
  FD_ZERO(&write_set);
  FD_ZERO(&error_set);
  FD_SET(s, &write_set);
  FD_SET(s, &error_set);
  timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  return ::select(0, nullptr, &write_set, &error_set, &tv) > 0;
}

}  // namespace

WinSocket::WinSocket() {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  event_ = WSACreateEvent();
}

WinSocket::~WinSocket() {
  close();
  if (event_ != nullptr) WSACloseEvent(event_);
  if (started_) WSACleanup();
}

std::int64_t WinSocket::now_ms() const {
  return static_cast<std::int64_t>(GetTickCount64());
}

std::string WinSocket::connect(const std::string& host, int port, int timeout_ms) {
  close();
  failure_.clear();
  if (!started_) return "Winsock is not available";
  const std::vector<FoundAddress>* found = addresses_.find(host, port);
  if (found == nullptr) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0)
      return "unknown host " + host + " (" + socket_error() + ")";
    found = &addresses_.keep(host, port, list);
    ::freeaddrinfo(list);
  }
  const std::int64_t deadline = now_ms() + timeout_ms;
  std::string why = "no address for " + host;
  for (const FoundAddress& a : *found) {
    SOCKET s = ::socket(a.family, a.socktype, a.protocol);
    if (s == INVALID_SOCKET) {
      why = socket_error();
      continue;
    }
    u_long nonblocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonblocking);
    const auto* address = reinterpret_cast<const sockaddr*>(a.sockaddr_bytes.data());
    bool connected = ::connect(s, address, static_cast<int>(a.sockaddr_bytes.size())) == 0;
    if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
      const std::int64_t left = deadline - now_ms();
      if (left > 0 && writable_within(s, static_cast<int>(left))) {
        int err = 0;
        int len = sizeof err;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len);
        connected = err == 0;
        why = connected ? "" : system_error_text(static_cast<DWORD>(err));
      } else {
        why = "no answer from the server (connect timed out)";
      }
    } else if (!connected) {
      why = socket_error();
    }
    if (connected) {
      BOOL one = TRUE;
      ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
      WSAEventSelect(s, event_, FD_READ | FD_WRITE | FD_CLOSE);
      socket_ = s;
      why.clear();
      break;
    }
    ::closesocket(s);
  }
  return why;
}

void WinSocket::close() {
  if (socket_ == INVALID_SOCKET) return;
  ::closesocket(socket_);
  socket_ = INVALID_SOCKET;
  WSAResetEvent(event_);
}

long WinSocket::fail(std::string why) {
  failure_ = std::move(why);
  return -1;
}

long WinSocket::pending() const {
  u_long n = 0;
  if (socket_ == INVALID_SOCKET || ::ioctlsocket(socket_, FIONREAD, &n) != 0) return 0;
  return static_cast<long>(n);
}

long WinSocket::receive(std::uint8_t* buf, std::size_t max) {
  if (socket_ == INVALID_SOCKET) return fail("not connected");
  const int n = ::recv(socket_, reinterpret_cast<char*>(buf), static_cast<int>(max), 0);
  if (n > 0) return n;
  if (n == 0) return fail("the server closed the connection");
  if (WSAGetLastError() == WSAEWOULDBLOCK) return 0;
  return fail(socket_error());
}

// Until all is taken or a send is refused: only a refused send (WSAEWOULDBLOCK) makes Winsock
// signal FD_WRITE once there is room again, and the idle wait sleeps on that.
long WinSocket::send_some(const std::uint8_t* data, std::size_t n) {
  if (socket_ == INVALID_SOCKET) return fail("not connected");
  std::size_t done = 0;
  while (done < n) {
    const int w =
        ::send(socket_, reinterpret_cast<const char*>(data + done), static_cast<int>(n - done), 0);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return fail(socket_error());
    break;
  }
  return static_cast<long>(done);
}

void WinSocket::wait_readable(int timeout_ms) {
  if (socket_ == INVALID_SOCKET) return;
  fd_set read_set;
  FD_ZERO(&read_set);
  FD_SET(socket_, &read_set);
  timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  ::select(0, &read_set, nullptr, nullptr, &tv);
}

void WinSocket::wait_writable(int timeout_ms) {
  if (socket_ != INVALID_SOCKET) writable_within(socket_, timeout_ms);
}

}  // namespace dravel::platform
