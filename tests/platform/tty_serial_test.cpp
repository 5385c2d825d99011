// The serial line on a pty: the settings it makes, exclusivity, and what a dead far end does.
#include "platform/posix/tty_serial.h"

#include <fcntl.h>
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
  EXPECT_FALSE(r.echoed);  // cooked, but nothing came in

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

// The rate read back from the driver after it is set; a refused one is told apart, with the
// rate the line keeps, so a batch run can stop before it sends anything.
TEST(TtySerial, RateReadBackAndARefusalTheCallerCanActOn) {
  Pty pty;
  TtySerial serial;
  OpenResult r = serial.open(pty.path, 115200);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rate, 115200);
  EXPECT_FALSE(r.rate_refused);
#if defined(__linux__)
  r = serial.open(pty.path, 250000);  // no speed constant: termios2
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.warning, "");
  EXPECT_EQ(r.rate, 250000);
#endif
  OpenResult bad = serial.open(pty.path, -5);
  ASSERT_TRUE(bad.ok);
  EXPECT_TRUE(bad.rate_refused);
  EXPECT_EQ(bad.rate, r.rate);
  EXPECT_EQ(bad.warning, "baud rate -5 refused by " + pty.path +
                             " (not a valid rate); the line runs at " + std::to_string(r.rate));
}

// A board that printed before the port opened (its banner waiting in the driver) gets no echo
// of it, and dravel does not read it as the answer to its first command. The filler keeps the
// echo queued behind it in the pty, as a UART's slow line holds it in the driver.
TEST(TtySerial, WhatArrivedBeforeTheOpenIsNeitherEchoedNorRead) {
  Pty pty;
  termios cooked{};
  ASSERT_EQ(::tcgetattr(pty.slave, &cooked), 0);
  cooked.c_lflag |= ECHO | ICANON;
  ASSERT_EQ(::tcsetattr(pty.slave, TCSANOW, &cooked), 0);
  const std::string filler(8192, 'f');
  ASSERT_EQ(::write(pty.slave, filler.data(), filler.size()), 8192);
  const std::string banner = "banner\r\n>> ";
  ASSERT_EQ(::write(pty.master, banner.data(), banner.size()), static_cast<ssize_t>(banner.size()));
  pollfd p{pty.slave, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);  // the line discipline has taken it, and echoed it

  TtySerial serial;
  const OpenResult r = serial.open(pty.path, 115200);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.echoed);  // the caller clears the board's line
  EXPECT_EQ(pty.read_master().find("banner"), std::string::npos);
  std::uint8_t buf[64];
  EXPECT_EQ(serial.read(buf, sizeof buf), 0);
  ASSERT_EQ(::write(pty.master, "x", 1), 1);
  EXPECT_EQ(read_waiting(serial, buf, sizeof buf), 1);
  EXPECT_EQ(pty.read_master(), "");
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

#ifdef __linux__
// Linux takes a BREAK on a pty without a word and refuses its modem lines with ENOTTY: one
// clear message for all of them instead.
TEST(TtySerial, APtyRefusesBreakAndModemLinesByName) {
  Pty pty;
  TtySerial serial;
  EXPECT_EQ(serial.set_control(Control::DtrOn).error, "cannot set DTR on: the device is not open");
  ASSERT_TRUE(serial.open(pty.path, 57600).ok);
  for (Control c : {Control::BreakOn, Control::BreakOff, Control::DtrOn, Control::DtrOff,
                    Control::RtsOn, Control::RtsOff}) {
    ControlResult r = serial.set_control(c);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, std::string("cannot set ") + control_name(c) + ": " + pty.path +
                           " is a pseudo-terminal: it has no BREAK or modem lines");
  }
}
#endif

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
  idle.wait(2000, false);  // returns at once with the hang-up
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  std::uint8_t buf[8];
  EXPECT_EQ(serial.read(buf, sizeof buf), -1);
  EXPECT_EQ(serial.failure(), "the line hung up");
  EXPECT_EQ(serial.fd(), -1);  // later waits sleep their timeout instead of waking at once
  const std::uint8_t b = 'x';
  EXPECT_EQ(serial.write(&b, 1), -1);
}

// A write the far end is not reading takes what fits and then nothing, without waiting; the
// idle wait for room sleeps until the far end reads, then the line takes more.
TEST(TtySerial, WriteTakesWhatFitsAndTheWaitForRoomEndsWhenTheFarEndReads) {
  Pty pty;
  TtySerial serial;
  ASSERT_TRUE(serial.open(pty.path, 57600).ok);
  TerminalMode no_terminal(-1);
  TtyConsole console(no_terminal, -1, -1);
  PollIdleWait idle(serial, console);
  std::vector<std::uint8_t> big(1 << 20, 'a');
  const long first = serial.write(big.data(), big.size());
  ASSERT_GT(first, 0);
  ASSERT_LT(first, static_cast<long>(big.size()));
  long more = serial.write(big.data(), big.size());
  while (more > 0) more = serial.write(big.data(), big.size());  // fills what is left
  EXPECT_EQ(more, 0);
  std::vector<std::uint8_t> drain(1 << 16);
  ::fcntl(pty.master, F_SETFL, O_NONBLOCK);
  while (::read(pty.master, drain.data(), drain.size()) > 0) {
  }
  const auto start = std::chrono::steady_clock::now();
  idle.wait(5000, true);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
  EXPECT_GT(serial.write(big.data(), big.size()), 0);
}

}  // namespace
}  // namespace dravel::platform
