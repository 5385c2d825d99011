// Shell commands, as a terminal runs them and as a batch run bounds them.
#include "platform/posix/posix_shell.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "base/signal_flag.h"
#include "platform/idle_wait.h"
#include "support/fakes.h"
#include "support/rig.h"

namespace dravel::platform {
namespace {

// A process's state letter and process group, from /proc; state 0 when it is gone.
struct ProcState {
  char state = 0;
  int group = 0;
};
ProcState proc_state(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  ProcState p;
  if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) return p;
  std::istringstream rest(line.substr(line.rfind(')') + 1));
  int parent = 0;
  rest >> p.state >> parent >> p.group;
  return p;
}

// Not there, or ended and waiting for its new parent to collect it, within a second: a
// killed process takes a moment to go.
bool running(int pid) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  do {
    const char state = proc_state(pid).state;
    if (state == 0 || state == 'Z') return false;
    ::usleep(10'000);
  } while (std::chrono::steady_clock::now() < end);
  return true;
}

TEST(PosixShell, RunsWithTheTerminalInItsNormalModeAndReportsTheStatus) {
  for (bool batch : {false, true}) {
    test::FakeConsole console;
    PosixShell shell(console, batch);
    EXPECT_EQ(shell.run("exit 3", WAIT_FOREVER), 3) << batch;
    // The normal mode for the command, raw again for dravel.
    EXPECT_EQ(console.modes, (std::vector<bool>{false, true})) << batch;
  }
}

// Standard input as a CI job gives it (/dev/null), or a terminal, for one test.
class StdinFrom {
 public:
  explicit StdinFrom(bool terminal) : saved_(::dup(STDIN_FILENO)) {
    int fd = ::open("/dev/null", O_RDONLY);
    if (terminal) {
      ::close(fd);
      EXPECT_EQ(::openpty(&master_, &fd, nullptr, nullptr, nullptr), 0);
    }
    ::dup2(fd, STDIN_FILENO);
    ::close(fd);
  }
  ~StdinFrom() {
    ::dup2(saved_, STDIN_FILENO);
    ::close(saved_);
    if (master_ >= 0) ::close(master_);
  }

 private:
  int saved_;
  int master_ = -1;
};

// A command that would outlive its limit, or the program, is ended with what it started;
// started from a terminal, it stays in the foreground and only the command itself is ended.
TEST(PosixShell, BatchCommandsEndAtTheLimitOrASignalWithWhatTheyStarted) {
  struct Case {
    const char* name;
    int limit_ms;
    bool signal;
    bool terminal;
  };
  const Case cases[] = {{"limit", 300, false, false},
                        {"signal", WAIT_FOREVER, true, false},
                        {"limit, from a terminal", 300, false, true}};
  for (const Case& c : cases) {
    StdinFrom in(c.terminal);
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
    if (!pid.empty() && !c.terminal) {
      EXPECT_FALSE(running(std::stoi(pid))) << c.name << ": sleep still runs";
    }
    if (!pid.empty() && c.terminal) {
      EXPECT_EQ(proc_state(std::stoi(pid)).group, ::getpgrp()) << "not in the foreground group";
      ::kill(std::stoi(pid), SIGKILL);
    }
    EXPECT_TRUE(console.raw);
  }
}

}  // namespace
}  // namespace dravel::platform
