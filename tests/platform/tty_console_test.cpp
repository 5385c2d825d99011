// The console on a pty and on a pipe: terminal modes, key decoding, end of input.
#include "platform/posix/tty_console.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <string>

#include "platform/posix/terminal_mode.h"
#include "support/fakes.h"

namespace dravel::platform {
namespace {

bool same_mode(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), b.c_cc);
}

struct Pty {
  int master = -1;
  int slave = -1;
  Pty() { EXPECT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0); }
  ~Pty() {
    ::close(master);
    ::close(slave);
  }
  termios mode() const {
    termios t{};
    ::tcgetattr(slave, &t);
    return t;
  }
};

std::string keys_of(TtyConsole& c) {
  std::string got;
  while (c.key_waiting()) got.push_back(static_cast<char>(c.read_key()));
  return got;
}

TEST(TerminalMode, RawAloneKeepsOutputProcessingAndEveryWayBackRestores) {
  Pty pty;
  termios before = pty.mode();
  {
    TerminalMode mode(pty.slave);
    ASSERT_TRUE(mode.is_terminal());
    mode.set_raw(true);
    termios raw = pty.mode();
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(raw.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_EQ(raw.c_oflag & (OPOST | ONLCR), before.c_oflag & (OPOST | ONLCR));
    mode.set_raw(false);
    EXPECT_TRUE(same_mode(pty.mode(), before));
    mode.set_raw(true);
    TerminalMode::emergency_restore();
    EXPECT_TRUE(same_mode(pty.mode(), before));
    mode.set_raw(true);
  }
  EXPECT_TRUE(same_mode(pty.mode(), before));  // the destructor
}

// What the console wrote, however the pty hands it over (in pieces on a busy machine).
std::string read_master(int master, std::size_t n) {
  std::string got;
  char buf[64];
  while (got.size() < n) {
    ssize_t r = ::read(master, buf, sizeof buf);
    if (r <= 0) break;
    got.append(buf, static_cast<std::size_t>(r));
  }
  return got;
}

TEST(TtyConsole, DecodesTerminalKeysAndTakesEnterAndCtrlCAsBytes) {
  Pty pty;
  TerminalMode mode(pty.slave);
  mode.set_raw(true);
  TtyConsole console(mode, pty.slave, pty.slave);
  EXPECT_FALSE(console.key_waiting());  // nothing typed: no wait

  ASSERT_EQ(::write(pty.master, "a\r\x03\x1bOP\x1b[17~", 11), 11);
  EXPECT_EQ(keys_of(console), std::string("a\r\x03") + char(key::F1) + char(key::F6));

  ASSERT_EQ(::write(pty.master, "\x1b", 1), 1);
  EXPECT_TRUE(console.key_waiting());  // after the short look-ahead
  EXPECT_EQ(console.read_key(), 27);

  console.write("line\n");
  EXPECT_EQ(read_master(pty.master, 6), "line\r\n");
}

// The screen gets the same bytes whether the kernel or the console makes "\r\n" of "\n".
TEST(TtyConsole, NewLinesReachTheScreenAlikeInRawAndNormalMode) {
  Pty pty;
  termios before = pty.mode();
  ASSERT_EQ(before.c_oflag, static_cast<tcflag_t>(OPOST | ONLCR));
  {
    TerminalMode mode(pty.slave);
    TtyConsole console(mode, pty.slave, pty.slave);
    mode.set_raw(true);
    EXPECT_TRUE(mode.console_translates_newlines());
    EXPECT_EQ(pty.mode().c_oflag & OPOST, 0u);
    console.write("a\nb\r\n\n");
    EXPECT_EQ(read_master(pty.master, 9), "a\r\nb\r\r\n\r\n");
    mode.set_raw(false);  // e.g. for a shell command: the kernel's own processing again
    EXPECT_FALSE(mode.console_translates_newlines());
    EXPECT_TRUE(same_mode(pty.mode(), before));
    console.write("c\n");
    EXPECT_EQ(read_master(pty.master, 3), "c\r\n");
  }
  // Any other output setting is left to the kernel.
  termios tabs = before;
  tabs.c_oflag |= TAB3;
  ASSERT_EQ(::tcsetattr(pty.slave, TCSANOW, &tabs), 0);
  TerminalMode mode(pty.slave);
  TtyConsole console(mode, pty.slave, pty.slave);
  mode.set_raw(true);
  EXPECT_FALSE(mode.console_translates_newlines());
  EXPECT_NE(pty.mode().c_oflag & OPOST, 0u);
  console.write("d\n");
  EXPECT_EQ(read_master(pty.master, 3), "d\r\n");
}

TEST(TtyConsole, InputThatIsNotATerminalIsTakenAsItComesUntilItsEnd) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  TerminalMode mode(fds[0]);
  EXPECT_FALSE(mode.is_terminal());
  TtyConsole console(mode, fds[0], -1);
  ASSERT_EQ(::write(fds[1], "\x1bOPx", 4), 4);
  ::close(fds[1]);
  EXPECT_EQ(keys_of(console), "\x1bOPx");
  EXPECT_FALSE(console.key_waiting());
  EXPECT_EQ(console.input_fd(), -1);  // at its end: never polled again
  EXPECT_EQ(console.read_key(), 0);   // and never waited on
  ::close(fds[0]);
}

}  // namespace
}  // namespace dravel::platform
