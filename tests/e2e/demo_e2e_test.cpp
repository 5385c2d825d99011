// make demo and make demo-remote as a user runs them: their scripts in a tmux pane, ended by
// dravel's documented keys (status 0, so make reports no error) or by a real failure (not 0).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "e2e/tmux_driver.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

const std::string DEMO_RUN = DRAVEL_TOOLS "/demo_run.sh";
const std::string DEMO_REMOTE = DRAVEL_TOOLS "/ser2net/demo_remote.sh";
const std::string MONITOR_READY = "type help for commands\n>>";

std::string build_dir() {
  std::string bin = DRAVEL_BIN;
  return bin.substr(0, bin.rfind('/'));
}

bool ser2net_installed() {
  return std::system("command -v ser2net >/dev/null || [ -x /usr/sbin/ser2net ]") == 0;
}

struct End {
  const char* what;
  std::vector<std::string> keys;
};
// dravel(1): ESC ends with 1, F10 F2 with 0; the demo ends with 0 either way.
const End USER_ENDS[] = {{"ESC", {"Escape"}}, {"F10 F2", {"F10", "F2"}}};

class DemoE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TmuxPane::available()) GTEST_SKIP() << "tmux is not installed";
  }
  void start(const std::vector<std::string>& command, const std::vector<std::string>& env = {}) {
    std::vector<std::string> all = {"DRAVELHIS=" + dir.file("his")};
    all.insert(all.end(), env.begin(), env.end());
    pane = std::make_unique<TmuxPane>(command, dir.path(), all);
  }
  void end_by_keys_with_status_0(const std::vector<std::string>& command) {
    for (const End& end : USER_ENDS) {
      SCOPED_TRACE(end.what);
      start(command);
      ASSERT_TRUE(pane->wait_for(MONITOR_READY, Seconds(15))) << pane->screen();
      pane->keys(end.keys);
      EXPECT_EQ(pane->wait_exit(), 0) << pane->screen();
      EXPECT_TRUE(pane->terminal_restored());
      pane.reset();
      ::unlink(dir.file("exit.status").c_str());
    }
  }

  test::TempDir dir;
  std::unique_ptr<TmuxPane> pane;
};

TEST_F(DemoE2E, LocalDemoEndedByTheUserEndsWithStatus0) {
  end_by_keys_with_status_0({DEMO_RUN, KRVBSIM_BIN, "--", DRAVEL_BIN});
}

TEST_F(DemoE2E, RemoteDemoEndedByTheUserEndsWithStatus0) {
  if (!ser2net_installed()) GTEST_SKIP() << "ser2net is not installed";
  end_by_keys_with_status_0({DEMO_REMOTE, build_dir()});
}

// Failures keep their status: a missing program, and dravel's own status 1 for a bad start,
// which the same status from ESC must not hide.
TEST_F(DemoE2E, RealFailuresStillFail) {
  struct Case {
    const char* what;
    std::vector<std::string> command;
    std::vector<std::string> env;
    int status;
  } cases[] = {
      {"no dravel", {DEMO_RUN, KRVBSIM_BIN, "--", dir.file("no-dravel")}, {}, 127},
      {"no krvbsim", {DEMO_RUN, dir.file("no-krvbsim"), "--", DRAVEL_BIN}, {}, 127},
      {"no binaries for the remote demo", {DEMO_REMOTE, dir.file("no-build")}, {}, 127},
      {"I/O address 0", {DEMO_RUN, KRVBSIM_BIN, "--", DRAVEL_BIN}, {"KRVB7100=0,3,57600"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start(c.command, c.env);
    EXPECT_EQ(pane->wait_exit(Seconds(15)), c.status) << pane->screen();
    pane.reset();
    ::unlink(dir.file("exit.status").c_str());
  }
}

}  // namespace
}  // namespace dravel::e2e
