// The serial line on a pty: the settings it makes, exclusivity, and what a dead far end does.
#include "platform/posix/tty_serial.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/posix/poll_idle_wait.h"
#include "platform/posix/terminal_mode.h"
#include "platform/posix/tty_console.h"

namespace dravel::platform {
namespace {

struct Pty {
  int master = -1;
  int slave = -1;
  std::string path;
  Pty() {
    EXPECT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    path = ::ttyname(slave);
  }
  ~Pty() {
    if (master >= 0) ::close(master);
    ::close(slave);
  }
  std::string read_master() {
    std::string got;
    char buf[256];
    pollfd p{master, POLLIN, 0};
    while (::poll(&p, 1, 200) > 0) {
      ssize_t n = ::read(master, buf, sizeof buf);
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }
};

long read_waiting(TtySerial& s, std::uint8_t* buf, std::size_t max) {
  pollfd p{s.fd(), POLLIN, 0};
  ::poll(&p, 1, 2000);
  return s.read(buf, max);
}

TEST(TtySerial, RawEightNoneOneLineThatPassesEveryByte) {
  Pty pty;
  TtySerial serial;
  OpenResult r = serial.open(pty.path, 115200);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.warning, "");

  termios t{};
  ASSERT_EQ(::tcgetattr(pty.slave, &t), 0);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B115200));

  std::uint8_t buf[300];
  EXPECT_EQ(serial.read(buf, sizeof buf), 0);  // nothing there: at once, not an error

  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(serial.write(reinterpret_cast<const std::uint8_t*>(all.data()), all.size()), 256);
  EXPECT_EQ(pty.read_master(), all);

  ASSERT_EQ(::write(pty.master, "\r\n\x11\x13\x00z", 6), 6);
  long n = read_waiting(serial, buf, sizeof buf);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), static_cast<std::size_t>(n > 0 ? n : 0)),
            std::string("\r\n\x11\x13\x00z", 6));
}

TEST(TtySerial, RateWithoutAStandardConstantStillOpens) {
  Pty pty;
  TtySerial serial;
  OpenResult r = serial.open(pty.path, 250000);
  ASSERT_TRUE(r.ok) << r.error;
#if defined(__linux__)
  EXPECT_EQ(r.warning, "");
#endif
  OpenResult bad = serial.open(pty.path, -5);
  ASSERT_TRUE(bad.ok);
  EXPECT_NE(bad.warning.find("baud rate -5 refused by " + pty.path), std::string::npos);
}

TEST(TtySerial, RefusesWhatItCannotUseWithAReason) {
  Pty pty;
  TtySerial first;
  ASSERT_TRUE(first.open(pty.path, 57600).ok);
  TtySerial second;
  OpenResult busy = second.open(pty.path, 57600);
  EXPECT_FALSE(busy.ok);
  EXPECT_NE(busy.error.find("busy"), std::string::npos) << busy.error;
  EXPECT_FALSE(second.is_open());
  first.close();
  EXPECT_TRUE(second.open(pty.path, 57600).ok);  // free again once closed

  TtySerial other;
  EXPECT_EQ(other.open("/dev/null", 57600).error, "not a terminal device");
  EXPECT_EQ(other.open("/nonexistent/tty", 57600).error, "No such file or directory");
  EXPECT_FALSE(other.is_open());
}

TEST(TtySerial, HungUpLineFailsAndIsNoLongerWaitedOn) {
  Pty pty;
  TtySerial serial;
  ASSERT_TRUE(serial.open(pty.path, 57600).ok);
  TerminalMode no_terminal(-1);
  TtyConsole console(no_terminal, -1, -1);
  PollIdleWait idle(serial, console);

  ::close(pty.master);
  pty.master = -1;
  const auto start = std::chrono::steady_clock::now();
  idle.wait(2000);  // returns at once with the hang-up
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  std::uint8_t buf[8];
  EXPECT_EQ(serial.read(buf, sizeof buf), -1);
  EXPECT_EQ(serial.failure(), "the line hung up");
  EXPECT_EQ(serial.fd(), -1);  // later waits sleep their timeout instead of waking at once
  const std::uint8_t b = 'x';
  EXPECT_EQ(serial.write(&b, 1), -1);
}

TEST(TtySerial, WriteToAFarEndThatNeverReadsGivesUp) {
  Pty pty;
  TtySerial serial;
  ASSERT_TRUE(serial.open(pty.path, 57600).ok);
  serial.stall_limit_ms = 200;
  std::vector<std::uint8_t> big(1 << 20, 'a');
  EXPECT_EQ(serial.write(big.data(), big.size()), -1);
}

}  // namespace
}  // namespace dravel::platform
