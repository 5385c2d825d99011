// The built dravel on a real pty, with a second pty as its serial device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>

#include "e2e/pty_harness.h"
#include "support/rig.h"
#include "support/wire.h"

namespace dravel::e2e {
namespace {

class TerminalE2E : public ::testing::Test {
 protected:
  std::unique_ptr<PtyProcess> start(const std::string& device_path) {
    return std::make_unique<PtyProcess>(
        DRAVEL_BIN, std::vector<std::string>{"-d", device_path},
        std::vector<std::string>{"DRAVELHIS=" + dir.file("his"), "KRVB7100=2f8,3,57600"});
  }

  test::TempDir dir;
  PtyDevice device;
};

TEST_F(TerminalE2E, KeysReachTheDeviceAndItsTextTheScreenUntilEsc) {
  auto p = start(device.path());
  ASSERT_TRUE(p->wait_for("dravel -- Korvane debug system console program"));
  ASSERT_TRUE(p->wait_for(" BAUDRATE = 57600\r\n"));
  termios running = p->tty_settings();
  EXPECT_EQ(running.c_lflag & (ICANON | ECHO | ISIG), 0u);

  p->type("x");
  EXPECT_TRUE(device.wait_for("x"));
  // A cursor key is decoded, not passed on (its ESC would end the program).
  p->type("\x1b[A");
  p->type("y");
  EXPECT_TRUE(device.wait_for("y"));
  EXPECT_EQ(device.received().find('\x1b'), std::string::npos);

  device.write("hello from the board");
  EXPECT_TRUE(p->wait_for("hello from the board"));

  p->type("\x1b");
  EXPECT_TRUE(device.wait_for("\x03"));
  // Each "\n" still starts a new line in raw mode.
  EXPECT_TRUE(p->wait_for("\r\nTerminate by user!\r\n"));
  EXPECT_EQ(p->wait_exit(), 1);
  EXPECT_TRUE(same_mode(p->tty_settings(), p->initial_settings()));
}

TEST_F(TerminalE2E, EndingSignalsLeaveTheTerminalRestored) {
  struct Case {
    int sig;
    int status;
  };
  for (Case c :
       {Case{SIGTERM, 128 + SIGTERM}, Case{SIGHUP, 128 + SIGHUP}, Case{SIGSEGV, 128 + SIGSEGV}}) {
    SCOPED_TRACE(c.sig);
    auto p = start(device.path());
    ASSERT_TRUE(p->wait_for(" BAUDRATE = "));
    // Raw mode is set before the banner, so it is in force by now.
    ASSERT_FALSE(same_mode(p->tty_settings(), p->initial_settings()));
    p->send_signal(c.sig);
    EXPECT_EQ(p->wait_exit(), c.status);
    EXPECT_TRUE(same_mode(p->tty_settings(), p->initial_settings()));
  }
}

TEST_F(TerminalE2E, UnusableDeviceGivesOneClearMessageAndTheProgramGoesOn) {
  int held = ::open(device.path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  struct Case {
    std::string path;
    std::string reason;
  };
  for (const Case& c : {Case{device.path(), "busy"}, Case{dir.file("none"), "No such file"},
                        Case{"/dev/null", "not a terminal device"}}) {
    SCOPED_TRACE(c.path);
    auto p = start(c.path);
    ASSERT_TRUE(p->wait_for("cannot open " + c.path + ": "));
    EXPECT_TRUE(p->wait_for(c.reason));
    p->type("\x1b");
    EXPECT_EQ(p->wait_exit(), 1);
    EXPECT_EQ(test::count_of(p->output(), "cannot open"), 1);
  }
  ::close(held);
}

}  // namespace
}  // namespace dravel::e2e
