// dravel --batch as a CI job runs it: under krvbsim, no terminal anywhere, output to a pipe.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e/pty_harness.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

enum class Stdin { DEV_NULL, CLOSED };

// krvbsim -- dravel --batch ARGS..., standard output and error to one pipe.
Finished run_batch(const std::vector<std::string>& dravel_args, Stdin in,
                   const std::string& history) {
  std::vector<std::string> args = {KRVBSIM_BIN, "--go-text", "\\r\\nhello: PASS\\r\\n",
                                   "--",        DRAVEL_BIN,  "--batch"};
  args.insert(args.end(), dravel_args.begin(), dravel_args.end());
  // Generous: the machine may be busy; a run that hangs is what this catches.
  return run_to_end(std::move(args), history, in == Stdin::CLOSED, std::chrono::seconds(60));
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
