// dravel --batch as a CI job runs it: under krvbsim, no terminal anywhere, output to a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/rig.h"

extern char** environ;

namespace dravel::e2e {
namespace {

enum class Stdin { DEV_NULL, CLOSED };

struct Finished {
  int status = -1;  // -1: still running at the deadline (then killed)
  std::string output;
};

// krvbsim -- dravel --batch ARGS..., standard output and error to one pipe.
Finished run_batch(const std::vector<std::string>& dravel_args, Stdin in,
                   const std::string& history) {
  std::vector<std::string> args = {KRVBSIM_BIN, "--go-text", "\\r\\nhello: PASS\\r\\n",
                                   "--",        DRAVEL_BIN,  "--batch"};
  args.insert(args.end(), dravel_args.begin(), dravel_args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text = {"DRAVELHIS=" + history};
  for (char** e = environ; *e != nullptr; ++e)
    if (std::string(*e).rfind("DRAVELHIS=", 0) != 0) env_text.push_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  int out[2];
  EXPECT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (in == Stdin::CLOSED)
    posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
  else
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  pid_t pid = -1;
  EXPECT_EQ(::posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);

  // Generous: the machine may be busy; a run that hangs is what this catches.
  Finished f;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[4096];
    ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;  // every writer gone: both programs ended
    f.output.append(buf, static_cast<std::size_t>(n));
  }
  ::close(out[0]);
  // The pipe ends a moment before the process does.
  int status = 0;
  pid_t done = 0;
  while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline)
    ::usleep(10'000);
  if (done != pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return f;
  }
  f.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return f;
}

TEST(BatchE2E, LoadRunAndJudgeWithStdinNullOrClosedAndNoColourInThePipe) {
  test::TempDir dir;
  const std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  std::string pass =
      dir.write("pass.scr", "local load " + mot + "\ngo\nlocal expect hello: PASS\nlocal exit 0\n");
  std::string fail = dir.write("fail.scr", "go\nlocal expect -t 1 hello: FAIL\n");

  Finished passed = run_batch({pass}, Stdin::DEV_NULL, dir.file("his"));
  EXPECT_EQ(passed.status, 0) << passed.output;
  EXPECT_NE(passed.output.find("loaded 292 bytes, 0 errors"), std::string::npos) << passed.output;
  EXPECT_NE(passed.output.find("hello: PASS"), std::string::npos);
  EXPECT_EQ(passed.output.find("\x1b["), std::string::npos) << passed.output;

  Finished failed = run_batch({fail}, Stdin::CLOSED, dir.file("his"));
  EXPECT_EQ(failed.status, 3) << failed.output;
  EXPECT_NE(failed.output.find("expect: \"hello: FAIL\" not seen within 1 s"), std::string::npos)
      << failed.output;
}

}  // namespace
}  // namespace dravel::e2e
