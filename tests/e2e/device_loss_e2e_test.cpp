// The built dravel on a serial line that goes away: krvbsim serving alone, killed, and a new
// one offered under the same name (a link repointed, as a pty name cannot be made again).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "e2e/pty_harness.h"
#include "support/rig.h"
#include "support/wire.h"

namespace dravel::e2e {
namespace {

const std::string F2 = "\x1b[12~", F4 = "\x1b[14~", F5 = "\x1b[15~", F9 = "\x1b[20~",
                  F10 = "\x1b[21~";

class DeviceLossE2E : public ::testing::Test {
 protected:
  // A krvbsim serving on a pty of its own; `port` is made to name that pty.
  std::unique_ptr<PtyProcess> serve(const std::vector<std::string>& options = {}) {
    auto sim = std::make_unique<PtyProcess>(KRVBSIM_BIN, options);
    std::string path = served_path(*sim);
    EXPECT_NE(path, "");
    // Renamed over the old link, so dravel never sees the name missing half-way.
    std::filesystem::create_symlink(path, port + ".new");
    std::filesystem::rename(port + ".new", port);
    return sim;
  }
  std::unique_ptr<PtyProcess> dravel() {
    return std::make_unique<PtyProcess>(DRAVEL_BIN, std::vector<std::string>{"-d", port},
                                        std::vector<std::string>{"DRAVELHIS=" + dir.file("his")});
  }
  // The monitor dies and its name goes, as an unplugged adapter's does: the pty's number may
  // soon serve someone else (another test running beside this one), never to be reopened here.
  void unplug(PtyProcess& sim) {
    std::filesystem::remove(port);
    sim.send_signal(SIGKILL);
    EXPECT_EQ(sim.wait_exit(), 128 + SIGKILL);
  }
  // F10 F2 still quits with a clean status and the terminal as it was.
  void quit(PtyProcess& p) {
    p.type(F10 + F2);
    EXPECT_EQ(p.wait_exit(), 0);
    EXPECT_TRUE(same_mode(p.tty_settings(), p.initial_settings()));
  }

  test::TempDir dir;
  std::string port = dir.file("port");
};

TEST_F(DeviceLossE2E, LineThatGoesAwayIsSaidOnceAndReopenedWhenItIsBack) {
  auto sim = serve();
  auto p = dravel();
  ASSERT_TRUE(p->wait_for(">> "));
  unplug(*sim);
  ASSERT_TRUE(p->wait_for("\r\nserial device lost: "));
  p->type("dw 0\r");    // goes nowhere, says nothing
  ::usleep(1'500'000);  // nothing to wait for: reopen attempts fail, and say nothing
  EXPECT_EQ(test::count_of(p->output(), "serial device lost"), 1);

  p->clear_output();
  auto second = serve();
  ASSERT_TRUE(p->wait_for("serial device back: " + port + "\r\n", Seconds(5))) << p->output();
  // The new monitor's banner was waiting in the line; it answers what is typed now, and
  // never saw (nor echoed) what was typed while it was gone.
  ASSERT_TRUE(p->wait_for(">> "));
  p->type("reg\r");
  EXPECT_TRUE(p->wait_for_after(">> ", "epc"));
  EXPECT_EQ(p->output().find("dw 0"), std::string::npos) << p->output();
  quit(*p);
}

TEST_F(DeviceLossE2E, MonitorKilledMidTransferStopsItAndDravelGoesOn) {
  std::string data(0x8000, 'd');
  std::string image = dir.write("image.bin", data);
  struct Case {
    const char* what;
    std::string mute_after_bytes;  // the monitor stops answering here, then is killed
    std::string keys;
  };
  const Case cases[] = {
      {"dload", "3000", F9 + F4 + image + " 80010000\r"},
      {"dsave", "20", F10 + F4 + dir.file("out.bin") + " 80010000 8000\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto sim = serve({"--mute-after-bytes", c.mute_after_bytes});
    auto p = dravel();
    ASSERT_TRUE(p->wait_for(">> "));
    p->type(F5);
    ASSERT_TRUE(p->wait_for("Log"));
    p->type(dir.file("log") + "\r");
    p->type(c.keys);
    ASSERT_TRUE(p->wait_for(std::string(c.what) == "dload" ? "size:" : "DSAVE"));
    ASSERT_TRUE(sim->wait_for("krvbsim: silent from now on"));
    unplug(*sim);
    ASSERT_TRUE(p->wait_for("serial device lost: ", Seconds(3)));
    ASSERT_TRUE(p->wait_for("stopped: the serial device is gone", Seconds(3)));
    quit(*p);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.bin")));
    std::string log = test::TempDir::read(dir.file("log"));
    EXPECT_NE(log.find("local " + std::string(c.what) + " "), std::string::npos) << log;
  }
  EXPECT_NE(test::TempDir::read(dir.file("his")).find(image), std::string::npos);
}

}  // namespace
}  // namespace dravel::e2e
