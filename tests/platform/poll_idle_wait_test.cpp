// The idle wait wakes for new input only: input a caller leaves unread is held, in
// order, and does not wake every later wait at once (which would spin the CPU).
#include "platform/posix/poll_idle_wait.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace dravel::platform {
namespace {

struct Pty {
  int master = -1;
  int slave = -1;
  Pty() { EXPECT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0); }
  ~Pty() {
    ::close(master);
    ::close(slave);
  }
};

// Milliseconds one wait took.
long long timed_wait(PollIdleWait& idle, int timeout_ms) {
  auto start = std::chrono::steady_clock::now();
  idle.wait(timeout_ms, false);
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start)
      .count();
}

struct Wired {
  Pty line;
  Pty keyboard;
  TerminalMode mode{keyboard.slave};
  TtyConsole console{mode, keyboard.slave, keyboard.slave};
  TtySerial serial;
  PollIdleWait idle{serial, console};
  Wired() {
    mode.set_raw(true);
    EXPECT_TRUE(serial.open(::ttyname(line.slave), 57600).ok);
  }
};

TEST(PollIdleWait, UnreadBoardOutputWakesOnceAndIsKeptInOrder) {
  Wired s;
  ASSERT_EQ(::write(s.line.master, "abc", 3), 3);
  EXPECT_LT(timed_wait(s.idle, 5000), 4000);  // new input: wakes
  EXPECT_GE(timed_wait(s.idle, 300), 250);    // same input, unread: sleeps on
  ASSERT_EQ(::write(s.line.master, "def", 3), 3);
  std::string got;
  std::uint8_t buf[8];
  for (int i = 0; i < 50 && got.size() < 6; ++i) {
    long n = s.serial.read(buf, 2);
    if (n > 0) got.append(reinterpret_cast<char*>(buf), static_cast<std::size_t>(n));
    if (n == 0) s.idle.wait(100, false);
  }
  EXPECT_EQ(got, "abcdef");
}

TEST(PollIdleWait, UnreadKeysWakeOnceAndStayForTheReader) {
  Wired s;
  ASSERT_EQ(::write(s.keyboard.master, "k\x1bOP", 4), 4);
  EXPECT_LT(timed_wait(s.idle, 5000), 4000);
  EXPECT_GE(timed_wait(s.idle, 300), 250);
  ASSERT_TRUE(s.console.key_waiting());
  EXPECT_EQ(s.console.read_key(), 'k');
  EXPECT_EQ(s.console.read_key(), key::F1);
}

}  // namespace
}  // namespace dravel::platform
