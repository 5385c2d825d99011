// The POSIX socket against a loopback listener: a name is looked up once in a run, so a
// reconnect does not wait on name servers that are out of reach.
#include "platform/posix/posix_socket.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace dravel::platform {
namespace {

int lookups = 0;
bool name_servers_down = false;

int counting_lookup(const char* host, const char* service, const addrinfo* hints,
                    addrinfo** found) {
  ++lookups;
  return name_servers_down ? EAI_AGAIN : ::getaddrinfo(host, service, hints, found);
}

struct Listener {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  Listener() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), len), 0);
    EXPECT_EQ(::listen(fd, 4), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~Listener() { ::close(fd); }
};

TEST(PosixSocket, ANameIsLookedUpOnceAndReconnectsGoToWhatWasFound) {
  Listener board, other;
  PosixSocket sock;
  sock.lookup = counting_lookup;
  lookups = 0;
  name_servers_down = true;  // a failed lookup is not kept
  EXPECT_NE(sock.connect("127.0.0.1", board.port, 1000).find("unknown host 127.0.0.1"),
            std::string::npos);
  name_servers_down = false;
  EXPECT_EQ(sock.connect("127.0.0.1", board.port, 1000), "");
  EXPECT_EQ(lookups, 2);

  name_servers_down = true;  // the network went; the reconnect needs no name server
  sock.close();
  EXPECT_EQ(sock.connect("127.0.0.1", board.port, 1000), "");
  EXPECT_TRUE(sock.is_open());
  EXPECT_EQ(lookups, 2);

  name_servers_down = false;  // another port is another lookup
  EXPECT_EQ(sock.connect("127.0.0.1", other.port, 1000), "");
  EXPECT_EQ(lookups, 3);
}

// A server that accepts and then takes nothing: a send takes what the kernel has room for
// and then nothing, at once and without failing.
TEST(PosixSocket, ASendToAServerThatStopsReadingTakesNothingWithoutWaiting) {
  Listener server;
  PosixSocket sock;
  ASSERT_EQ(sock.connect("127.0.0.1", server.port, 1000), "");
  const int accepted = ::accept(server.fd, nullptr, nullptr);
  ASSERT_GE(accepted, 0);
  const std::vector<std::uint8_t> chunk(1 << 20, 'x');
  const auto start = std::chrono::steady_clock::now();
  long took = 1;
  // The kernel's buffers take some megabytes first; the limit is wall time, not turns.
  while (took > 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
    took = sock.send_some(chunk.data(), chunk.size());
  EXPECT_EQ(took, 0);
  EXPECT_EQ(sock.failure(), "");
  ::close(accepted);
}

}  // namespace
}  // namespace dravel::platform
