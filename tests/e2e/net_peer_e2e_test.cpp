// The real dravel against servers on loopback that stall or flood: a run with --timeout ends
// on time, however the server behaves.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pty_harness.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

constexpr std::uint8_t IAC = 255, NOP = 241, DO = 253;

// Accepts on 127.0.0.1 and writes `pattern` to every connection as fast as it goes, reading
// nothing, until the test ends.
class FloodServer {
 public:
  explicit FloodServer(std::string pattern) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    // A small receive buffer: what dravel sends back fills it soon.
    int small = 4096;
    ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&a), len), 0);
    EXPECT_EQ(::listen(listener_, 8), 0);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    std::string chunk;
    while (chunk.size() < 64 * 1024) chunk += pattern;
    thread_ = std::thread([this, chunk] { serve(chunk); });
  }
  ~FloodServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }

 private:
  void serve(const std::string& chunk) {
    std::vector<int> peers;
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0) {
        int fd = ::accept(listener_, nullptr, nullptr);
        if (fd >= 0) {
          ::fcntl(fd, F_SETFL, O_NONBLOCK);
          peers.push_back(fd);
        }
      }
      bool wrote = false;
      for (int fd : peers) wrote |= ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0;
      if (!wrote) ::usleep(1000);
    }
    for (int fd : peers) ::close(fd);
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::string repeated(std::initializer_list<std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(NetPeer, ARunWithATimeoutEndsOnTimeWhateverTheServerDoes) {
  struct Case {
    const char* what;
    std::string pattern;
    std::chrono::milliseconds within;
  };
  const Case cases[] = {
      // Telnet commands and no data: keys and deadlines are looked at between them.
      // The limits are hang checks, not speed figures: a sanitizer build on a busy machine
      // takes a second or two more to read a flood.
      {"NOP flood", repeated({IAC, NOP}), std::chrono::milliseconds(6000)},
      // Requests whose answers it never reads: a lost device within seconds, not a frozen
      // terminal for the sends' old half minute.
      {"never reads", repeated({IAC, DO, 99}), std::chrono::milliseconds(7000)},
  };
  test::TempDir dir;
  const std::string script = dir.write("sleep.scr", "local sleep 20\n");
  for (const Case& c : cases) {
    FloodServer server(c.pattern);
    const std::string url = "rfc2217://127.0.0.1:" + std::to_string(server.port());
    Finished r = run_to_end({DRAVEL_BIN, "--batch", "--timeout", "3", "-d", url, script},
                            dir.file("his"), false, std::chrono::seconds(40));
    EXPECT_NE(r.status, -1) << c.what << ": still running after 40 s\n" << r.output;
    EXPECT_NE(r.status, 0) << c.what << "\n" << r.output;
    EXPECT_LT(r.took, c.within) << c.what << "\n" << r.output;
  }
}

}  // namespace
}  // namespace dravel::e2e
