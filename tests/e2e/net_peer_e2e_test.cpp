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

#include "support/rig.h"

extern char** environ;

namespace dravel::e2e {
namespace {

using Clock = std::chrono::steady_clock;
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

struct Ended {
  int status = -1;
  Clock::duration took{};
  std::string output;
};

// dravel ARGS with no keyboard, killed if it outlives a generous limit.
Ended run_dravel(const std::vector<std::string>& dravel_args, const std::string& history) {
  std::vector<std::string> args = {DRAVEL_BIN};
  args.insert(args.end(), dravel_args.begin(), dravel_args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text = {"DRAVELHIS=" + history};
  for (char** e = environ; *e != nullptr; ++e)
    if (std::string(*e).rfind("DRAVELHIS=", 0) != 0) env_text.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  int out[2];
  EXPECT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  Ended r;
  const auto start = Clock::now();
  pid_t pid = -1;
  EXPECT_EQ(::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  const auto deadline = start + std::chrono::seconds(40);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{out[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[4096];
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    r.output.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < deadline)
    ::usleep(10'000);
  r.took = Clock::now() - start;
  if (done == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return r;
  }
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

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
      {"NOP flood", repeated({IAC, NOP}), std::chrono::milliseconds(4000)},
      // Requests whose answers it never reads: a lost device within seconds, not a frozen
      // terminal for the sends' old half minute.
      {"never reads", repeated({IAC, DO, 99}), std::chrono::milliseconds(5000)},
  };
  test::TempDir dir;
  const std::string script = dir.write("sleep.scr", "local sleep 20\n");
  for (const Case& c : cases) {
    FloodServer server(c.pattern);
    const std::string url = "rfc2217://127.0.0.1:" + std::to_string(server.port());
    Ended r = run_dravel({"--batch", "--timeout", "3", "-d", url, script}, dir.file("his"));
    EXPECT_NE(r.status, -1) << c.what << ": still running after 40 s\n" << r.output;
    EXPECT_NE(r.status, 0) << c.what << "\n" << r.output;
    EXPECT_LT(r.took, c.within) << c.what << "\n" << r.output;
  }
}

}  // namespace
}  // namespace dravel::e2e
