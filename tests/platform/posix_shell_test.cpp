// Shell commands, as a terminal runs them and as a batch run bounds them.
#include "platform/posix/posix_shell.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <string>

#include "core/signal_flag.h"
#include "platform/idle_wait.h"
#include "support/fakes.h"
#include "support/rig.h"

namespace dravel::platform {
namespace {

// Not there, or ended and waiting for its new parent to collect it.
bool running(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const std::size_t close = line.rfind(')');
  return close == std::string::npos || line.compare(close + 1, 3, " Z ") != 0;
}

TEST(PosixShell, RunsWithTheTerminalInItsNormalModeAndReportsTheStatus) {
  for (bool batch : {false, true}) {
    test::FakeConsole console;
    PosixShell shell(console, batch);
    EXPECT_EQ(shell.run("exit 3", WAIT_FOREVER), 3) << batch;
    EXPECT_EQ(console.raw_switches, 2);
    EXPECT_TRUE(console.raw);
  }
}

// A command that would outlive its limit, or the program, is ended with what it started.
TEST(PosixShell, BatchCommandsEndAtTheLimitOrASignalWithWhatTheyStarted) {
  struct Case {
    const char* name;
    int limit_ms;
    bool signal;
  };
  const Case cases[] = {{"limit", 300, false}, {"signal", WAIT_FOREVER, true}};
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string pid_file = dir.file("pid");
    test::FakeConsole console;
    PosixShell shell(console, true);
    if (c.signal) record_signal(SIGTERM);
    const auto start = std::chrono::steady_clock::now();
    // The sleep is a grandchild: ending the shell alone would leave it running.
    EXPECT_EQ(shell.run("sleep 60 & echo $! > " + pid_file + "; wait", c.limit_ms), -1) << c.name;
    clear_signal();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(10)) << c.name;  // 60 s if nothing ended it
    const std::string pid = test::TempDir::read(pid_file);
    // A command ended by a signal that was already there may not have got to write it.
    if (!c.signal) {
      ASSERT_FALSE(pid.empty()) << c.name;
    }
    if (!pid.empty()) {
      EXPECT_FALSE(running(std::stoi(pid))) << c.name << ": sleep still runs";
    }
    EXPECT_TRUE(console.raw);
  }
}

}  // namespace
}  // namespace dravel::platform
