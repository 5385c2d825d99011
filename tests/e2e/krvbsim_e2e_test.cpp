// krvbsim as a program: serving a pty on its own, and running dravel on one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "e2e/pty_harness.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

const std::string F4 = "\x1b[14~";

// The host's bytes, read back from the hex columns of a wire log.
std::string host_bytes(const std::string& log) {
  std::string out;
  std::size_t at = 0;
  while ((at = log.find("H>M", at)) != std::string::npos) {
    for (std::size_t i = at + 3; i + 2 < log.size() && log[i] == ' ' && log[i + 1] != ' '; i += 3)
      out.push_back(static_cast<char>(std::stoi(log.substr(i + 1, 2), nullptr, 16)));
    at += 3;
  }
  return out;
}

class KrvbsimE2E : public ::testing::Test {
 protected:
  std::unique_ptr<PtyProcess> run_dravel(std::vector<std::string> sim_options) {
    return dravel_on_krvbsim(std::move(sim_options), dir.file("his"));
  }
  test::TempDir dir;
};

TEST_F(KrvbsimE2E, DravelShowsTheMonitorTalksToItAndEscEndsBoth) {
  auto p = run_dravel({"--wire-log", dir.file("wire"), "--regs", dir.file("regs")});
  ASSERT_TRUE(p->wait_for("dravel -- Korvane debug system console program"));
  ASSERT_TRUE(p->wait_for("KRVB7100 debug monitor (krvbsim simulator)"));
  ASSERT_TRUE(p->wait_for(">> "));
  p->type("help\r");
  ASSERT_TRUE(p->wait_for("brd                    binary mode, memory to host"));
  p->type("sr gp 1f00\r");
  // The prompt after the command, not its echo: ESC sends its break at once, ahead of a CR
  // still queued.
  ASSERT_TRUE(p->wait_for_after("sr gp 1f00", ">> "));
  p->type("\x1b");
  EXPECT_TRUE(p->wait_for("Terminate by user!"));
  EXPECT_EQ(p->wait_exit(), 1);
  EXPECT_TRUE(same_mode(p->tty_settings(), p->initial_settings()));
  // The files are written once dravel has gone; the break reached the monitor.
  EXPECT_NE(test::TempDir::read(dir.file("regs")).find("gp 00001f00\n"), std::string::npos);
  std::string from_host = host_bytes(test::TempDir::read(dir.file("wire")));
  EXPECT_NE(from_host.find("help\rsr gp 1f00\r"), std::string::npos) << from_host;
  EXPECT_TRUE(from_host.ends_with("\x03")) << from_host;
}

TEST_F(KrvbsimE2E, F4LoadsAnSRecordFileIntoTheSimulatedBoard) {
  const std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  auto p = run_dravel({"--regs", dir.file("regs"), "--dump", "80010000:4:" + dir.file("mem")});
  ASSERT_TRUE(p->wait_for(">> "));
  p->type(F4);
  ASSERT_TRUE(p->wait_for("Load"));
  p->type(mot + "\r");
  ASSERT_TRUE(p->wait_for("start 80010044"));
  ASSERT_TRUE(p->wait_for(">> "));
  p->type("\x1b");
  EXPECT_EQ(p->wait_exit(), 1);
  EXPECT_NE(test::TempDir::read(dir.file("regs")).find("epc 80010044\n"), std::string::npos);
  EXPECT_EQ(test::TempDir::read(dir.file("mem")), std::string("\x01\x80\x06\x3c", 4));
}

TEST_F(KrvbsimE2E, ServesUntilTerminatedAndReportsItsPath) {
  PtyProcess p(KRVBSIM_BIN, {"--load", std::string(DRAVEL_FIXTURES) + "/loader/hello.expect@0",
                             "--dump", "0:5:" + dir.file("mem")});
  std::string path = served_path(p);
  ASSERT_FALSE(path.empty());

  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << path;
  // The banner waits in the line for whoever opens it first.
  std::string seen;
  EXPECT_TRUE(read_until(fd, seen, ">> "));
  EXPECT_NE(seen.find("KRVB7100 debug monitor"), std::string::npos);
  ::close(fd);

  p.send_signal(SIGTERM);
  EXPECT_EQ(p.wait_exit(), 0);
  EXPECT_EQ(test::TempDir::read(dir.file("mem")), "entry");
}

// With --pace-host the host's bytes take their line time before the monitor sees them:
// 48 ignored line feeds and an x at 2400 baud are 204 ms on the line before the x's echo.
TEST_F(KrvbsimE2E, PacedHostBytesReachTheMonitorAtTheLineRate) {
  PtyProcess p(KRVBSIM_BIN, {"--baud", "2400", "--pace-host"});
  std::string path = served_path(p);
  ASSERT_FALSE(path.empty());
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << path;
  std::string seen;
  ASSERT_TRUE(read_until(fd, seen, ">> "));
  std::string typed = std::string(48, '\n') + "x";
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(::write(fd, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  seen.clear();
  ASSERT_TRUE(read_until(fd, seen, "x"));
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(200));
  ::close(fd);
  p.send_signal(SIGTERM);
  EXPECT_EQ(p.wait_exit(), 0);
}

TEST_F(KrvbsimE2E, CommandLineMistakesAndAMissingCommand) {
  PtyProcess bad(KRVBSIM_BIN, {"--baud", "fast"});
  EXPECT_TRUE(bad.wait_for("krvbsim: bad value for --baud: \"fast\""));
  EXPECT_EQ(bad.wait_exit(), 2);
  PtyProcess help(KRVBSIM_BIN, {"--help"});
  EXPECT_TRUE(help.wait_for("--mute-after TEXT"));
  EXPECT_EQ(help.wait_exit(), 0);
  PtyProcess missing(KRVBSIM_BIN, {"--", dir.file("no-such-program")});
  EXPECT_TRUE(missing.wait_for("krvbsim: cannot run"));
  EXPECT_EQ(missing.wait_exit(), 127);
  PtyProcess status(KRVBSIM_BIN, {"--", "sh", "-c", "test -c \"$DRAVELPORT\" && exit 7"});
  EXPECT_EQ(status.wait_exit(), 7);
}

}  // namespace
}  // namespace dravel::e2e
