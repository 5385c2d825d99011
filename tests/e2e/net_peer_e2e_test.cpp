// The real dravel against servers on loopback that stall or flood: a run with --timeout ends
// on time, however the server behaves, and ESC ends a dload the server stopped reading.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/loopback_listener.h"
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
    // A small receive buffer: what dravel sends back fills it soon.
    listener_ = listen_on_loopback(8, port_, 4096);
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

// A board behind a raw TCP port that answers a dload blindly and stops reading: it waits for
// "bwr", says "binary" and accepts every packet in advance, then takes nothing more.
class StalledBoard {
 public:
  StalledBoard() {
    listener_ = listen_on_loopback(1, port_, 4096);
    thread_ = std::thread([this] { serve(); });
  }
  ~StalledBoard() {
    stop_ = true;
    thread_.join();
    if (peer_ >= 0) ::close(peer_);
    ::close(listener_);
  }
  int port() const { return port_; }
  // True once it stopped reading and the bytes waiting for it stopped growing: the sender's
  // buffers are full, and its next packet is held.
  bool stalled_within(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int before = -1;
    while (std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      if (!answered_) continue;
      int now = 0;
      ::ioctl(peer_, FIONREAD, &now);
      if (now == before) return true;
      before = now;
    }
    return false;
  }

 private:
  void serve() {
    std::string seen;
    while (!stop_ && !answered_) {
      pollfd p{peer_ < 0 ? listener_ : peer_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      if (peer_ < 0) {
        peer_ = ::accept(listener_, nullptr, nullptr);
        continue;
      }
      char buf[256];
      const ssize_t n = ::recv(peer_, buf, sizeof buf, 0);
      if (n <= 0) return;
      seen.append(buf, static_cast<std::size_t>(n));
      if (seen.find("bwr\r") == std::string::npos) continue;
      const std::string answer = "binary\r" + std::string(8192, 'Y');
      EXPECT_EQ(::send(peer_, answer.data(), answer.size(), MSG_NOSIGNAL),
                static_cast<ssize_t>(answer.size()));
      answered_ = true;
    }
  }

  int listener_ = -1;
  int peer_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> answered_{false};
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

// The packet the server will not read is held in dravel's write; ESC ends the program then,
// not once the line counts as lost. The limit is a hang check, not a speed figure.
TEST(NetPeer, EscEndsADloadHeldByAServerThatStoppedReading) {
  test::TempDir dir;
  const std::string image = dir.write("big.bin", std::string(16 << 20, 'd'));
  StalledBoard board;
  PtyProcess p(DRAVEL_BIN, {"-d", "socket://127.0.0.1:" + std::to_string(board.port())},
               {"DRAVELHIS=" + dir.file("his")});
  ASSERT_TRUE(p.wait_for("the line runs at the server's rate")) << p.output();
  p.type("\x1b[20~\x1b[14~" + image + " 80010000\r");  // F9 F4: dload
  ASSERT_TRUE(board.stalled_within(std::chrono::seconds(20))) << p.output();
  p.type("\x1b");
  const std::optional<int> status = p.wait_exit(Seconds(10));
  ASSERT_TRUE(status.has_value()) << "still running 10 s after ESC\n" << p.output();
  EXPECT_EQ(*status, 1) << p.output();
  EXPECT_NE(p.output().find("Terminate by user!"), std::string::npos) << p.output();
  EXPECT_EQ(p.output().find("no longer drains"), std::string::npos) << p.output();
}

}  // namespace
}  // namespace dravel::e2e
