// The real dravel's stamped logs against krvbsim, and BREAK and the modem lines against a
// scripted RFC 2217 server on loopback (the exact SET-CONTROL bytes; a silent server costs a
// time limit, not a hang) and on a pty (one clear message).
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "e2e/loopback_listener.h"
#include "e2e/pty_harness.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

constexpr std::uint8_t IAC = 255, SB = 250, SE = 240, WILL = 251, DO = 253, COM_PORT = 44,
                       SET_CONTROL = 5;

// One session with krvbsim, logged: the banner, two commands, up to the last prompt.
Finished logged_session(test::TempDir& dir, const std::string& log,
                        std::vector<std::string> options) {
  const std::string script = dir.write(
      "log.scr", "local log " + log + "\nhelp\nreg\nlocal wait-prompt\nlocal log\nlocal exit 0\n");
  std::vector<std::string> args = {KRVBSIM_BIN, "--", DRAVEL_BIN, "--batch"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(script);
  return run_to_end(args, dir.file("his"), false, std::chrono::seconds(60));
}

// Local wall time now as an iso stamp's text (sorts as the time does).
std::string iso_now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return buf + std::string(".") + std::to_string(1000 + ms).substr(1);
}

TEST(LinesE2E, TheKrvbsimSessionLogHasAStampOnEveryLineAndIsOtherwiseUnchanged) {
  test::TempDir dir;
  const Finished plain = logged_session(dir, dir.file("plain.log"), {});
  ASSERT_EQ(plain.status, 0) << plain.output;
  const std::string want = test::TempDir::read(dir.file("plain.log"));
  ASSERT_NE(want.find("KRVB7100 debug monitor"), std::string::npos) << want;
  ASSERT_NE(want.find("epc="), std::string::npos) << want;

  struct Case {
    std::vector<std::string> options;
    const char* stamp;
  };
  const Case cases[] = {
      {{"--timestamps"}, R"(\[(\d\d:\d\d:\d\d\.\d{3})\] )"},
      {{"--timestamps", "iso"}, R"(\[(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})\] )"},
      {{"--timestamps=delta"}, R"(\[\+(\d+\.\d{3})\] )"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.back());
    const std::string before = iso_now();
    const std::string name = dir.file("stamped" + std::to_string(&c - cases) + ".log");
    const Finished run = logged_session(dir, name, c.options);
    const std::string after = iso_now();
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string log = test::TempDir::read(name);
    // Every line starts with a stamp, the first at the log's first byte.
    const std::regex stamp(std::string("^") + c.stamp);
    std::string cut, last;
    std::size_t lines = 0;
    for (std::size_t i = 0; i < log.size(); ++lines) {
      std::size_t end = log.find('\n', i);
      end = end == std::string::npos ? log.size() : end + 1;
      const std::string line = log.substr(i, end - i);
      std::smatch m;
      ASSERT_TRUE(std::regex_search(line, m, stamp)) << "line " << lines << ": " << line;
      const std::string time = m[1];
      if (c.options.back() != "--timestamps=delta") {
        EXPECT_LE(last, time) << "stamps go back at line " << lines;  // same width: sorts
        last = time;
      }
      if (c.options.back() == "iso") {
        EXPECT_LE(before.substr(0, 19), time.substr(0, 19));
        EXPECT_LE(time.substr(0, 19), after.substr(0, 19));
      }
      cut += m.suffix();
      i = end;
    }
    EXPECT_GT(lines, 10u);
    EXPECT_EQ(cut, want);
  }
}

// A scripted RFC 2217 server: agrees to every option and, when `answers`, to the COM port
// commands as ser2net does; when `silent`, says nothing at all. Records what it was sent.
class ComPortServer {
 public:
  ComPortServer(bool silent, bool answers) : silent_(silent), answers_(answers) {
    listener_ = listen_on_loopback(1, port_);
    thread_ = std::thread([this] { serve(); });
  }
  ~ComPortServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }
  // What the client sent, once its connection has ended (so its last bytes are read too).
  std::vector<std::uint8_t> received() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!ended_ && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
  }

 private:
  void serve() {
    int fd = -1;
    std::vector<std::uint8_t> all;
    while (!stop_) {
      if (fd < 0) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) fd = ::accept(listener_, nullptr, nullptr);
        continue;
      }
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      std::uint8_t buf[512];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) break;
      std::vector<std::uint8_t> reply;
      for (ssize_t i = 0; i < n; ++i) all.push_back(buf[i]);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        received_ = all;
      }
      if (silent_) continue;
      for (ssize_t i = 0; i + 2 < n; ++i) {
        if (buf[i] != IAC) continue;
        if (buf[i + 1] == WILL) reply.insert(reply.end(), {IAC, DO, buf[i + 2]});
        if (buf[i + 1] == DO) reply.insert(reply.end(), {IAC, WILL, buf[i + 2]});
        if (buf[i + 1] == SB && buf[i + 2] == COM_PORT && answers_ && i + 3 < n) {
          ssize_t end = i + 3;
          while (end + 1 < n && !(buf[end] == IAC && buf[end + 1] == SE)) ++end;
          std::vector<std::uint8_t> answer(buf + i, buf + end + 2);
          answer[3] += 100;
          reply.insert(reply.end(), answer.begin(), answer.end());
        }
      }
      if (!reply.empty()) {
        EXPECT_EQ(::write(fd, reply.data(), reply.size()), ssize_t(reply.size()));
      }
    }
    if (fd >= 0) ::close(fd);
    ended_ = true;
  }

  int listener_ = -1;
  int port_ = 0;
  bool silent_, answers_;
  std::atomic<bool> stop_{false}, ended_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::uint8_t> received_;
};

// The SET-CONTROL values for BREAK, DTR and RTS in `bytes`, in order (the open's flow control
// setting left out).
std::vector<int> set_controls(const std::vector<std::uint8_t>& bytes) {
  std::vector<int> values;
  for (std::size_t i = 0; i + 6 < bytes.size(); ++i)
    if (bytes[i] == IAC && bytes[i + 1] == SB && bytes[i + 2] == COM_PORT &&
        bytes[i + 3] == SET_CONTROL && bytes[i + 4] >= 5 && bytes[i + 4] <= 12 &&
        bytes[i + 5] == IAC && bytes[i + 6] == SE)
      values.push_back(bytes[i + 4]);
  return values;
}

TEST(LinesE2E, BreakAndPulsesGoAsSetControlAndASilentServerCostsItsTimeLimit) {
  struct Case {
    const char* what;
    const char* scheme;
    bool silent, answers;
    int status;
    std::vector<int> controls;
    const char* message;
  };
  // BREAK on 5, off 6; DTR on 8, off 9; RTS on 11, off 12.
  const Case cases[] = {
      {"as ser2net on a pty: takes the option, answers no SET-CONTROL",
       "rfc2217",
       false,
       false,
       0,
       {5, 6, 9, 8, 12, 11, 8},
       ""},
      {"answers each", "rfc2217", false, true, 0, {5, 6, 9, 8, 12, 11, 8}, ""},
      {"says nothing at all",
       "rfc2217",
       true,
       false,
       1,
       {},
       "cannot set BREAK on: the server at rfc2217://127.0.0.1:"},
      {"raw TCP",
       "socket",
       false,
       false,
       1,
       {},
       "is a raw TCP port: it carries no BREAK or modem lines (rfc2217:// does)"},
  };
  test::TempDir dir;
  const std::string script = dir.write(
      "lines.scr", "local break 100\nlocal dtr pulse 100\nlocal rts pulse 50\nlocal dtr on\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ComPortServer server(c.silent, c.answers);
    const std::string url = std::string(c.scheme) + "://127.0.0.1:" + std::to_string(server.port());
    const Finished r = run_to_end({DRAVEL_BIN, "--batch", "-d", url, script}, dir.file("his"),
                                  false, std::chrono::seconds(30));
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_EQ(set_controls(server.received()), c.controls) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    // The open's wait for answers that do not come is the only wait: no SET-CONTROL adds one.
    EXPECT_LT(r.took, std::chrono::milliseconds(3000 + 250 + 3000)) << r.output;
  }
}

TEST(LinesE2E, OnAPtyTheModemLinesFailWithOneClearMessage) {
  test::TempDir dir;
  for (const char* line : {"local dtr on", "local break", "local rts pulse 10"}) {
    const std::string script = dir.write("pty.scr", std::string(line) + "\nlocal echo not here\n");
    const Finished r = run_to_end({KRVBSIM_BIN, "--", DRAVEL_BIN, "--batch", script},
                                  dir.file("his"), false, std::chrono::seconds(30));
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("is a pseudo-terminal: it has no BREAK or modem lines"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.find("not here"), std::string::npos) << r.output;
  }
}

}  // namespace
}  // namespace dravel::e2e
