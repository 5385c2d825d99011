// Named boards and the JUnit report with the real programs: dravel -b opens what the board
// file says (krvbsim serving a pty of its own), and a batch run's report is read back by a
// real XML parser as CI reads it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/pty_harness.h"
#include "support/rig.h"

namespace dravel::e2e {
namespace {

TEST(BoardE2E, DashBOpensTheBoardsDeviceLogsAndRunsItsScript) {
  test::TempDir dir;
  PtyProcess sim(KRVBSIM_BIN, {"--regs", dir.file("regs")});
  const std::string port = served_path(sim);
  ASSERT_NE(port, "");
  std::filesystem::create_directories(dir.file("dravel"));
  const std::string script = dir.write("reset.scr", "sr gp 1f00\n");
  dir.write("dravel/boards.conf",
            "[lab7]\ndevice = " + port + "\nbaud = 115200\nlog = " + dir.file("lab7-%Y.log") +
                "\nhistory = " + dir.file("lab7.his") + "\nscript = " + script + "\n");

  PtyProcess p(DRAVEL_BIN, {"-b", "lab7"}, {"XDG_CONFIG_HOME=" + dir.path()});
  ASSERT_TRUE(p.wait_for(" PORT = " + port)) << p.output();
  EXPECT_NE(p.output().find(" BAUDRATE = 115200"), std::string::npos);
  ASSERT_TRUE(p.wait_for_after("sr gp 1f00", ">> ")) << p.output();
  p.type("\x1b");
  EXPECT_EQ(p.wait_exit(), 1);
  sim.send_signal(SIGTERM);
  sim.wait_exit();

  EXPECT_NE(test::TempDir::read(dir.file("regs")).find("gp 00001f00\n"), std::string::npos);
  const std::time_t now = std::time(nullptr);
  const std::string log =
      dir.file("lab7-" + std::to_string(std::localtime(&now)->tm_year + 1900) + ".log");
  EXPECT_NE(test::TempDir::read(log).find("sr gp 1f00"), std::string::npos) << log;
  EXPECT_TRUE(std::filesystem::exists(dir.file("lab7.his")));
}

// `python3 junit_check.py FILE`: the cases as "name|time|failure" lines, or "" when invalid.
std::string junit_cases(const std::string& file) {
  const std::string command = "python3 " DRAVEL_FIXTURES "/../tools/junit_check.py " + file;
  std::FILE* out = ::popen(command.c_str(), "r");
  if (out == nullptr) return "";
  std::string text;
  char buf[512];
  while (std::fgets(buf, sizeof buf, out) != nullptr) text += buf;
  return ::pclose(out) == 0 ? text : "";
}

// Drops the time field, which a busy machine stretches.
std::string without_times(const std::string& lines) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = lines.substr(at, end - at);
    const std::size_t first = line.find('|'), second = line.find('|', first + 1);
    out += line.substr(0, first) + "|" + line.substr(second + 1) + "\n";
  }
  return out;
}

TEST(BoardE2E, JunitReportOfABatchRunWithAPassAndAFailure) {
  if (std::system("python3 -c '' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
  test::TempDir dir;
  const std::string script =
      dir.write("test.scr", "go\nlocal expect hello: PASS\nlocal expect -t 1 hello: FAIL\n");
  const std::string report = dir.file("report.xml");
  Finished run = run_to_end({KRVBSIM_BIN, "--go-text", "\\r\\nhello: PASS\\r\\n", "--", DRAVEL_BIN,
                             "--batch", "--junit", report, script},
                            dir.file("his"), false, std::chrono::seconds(60));
  EXPECT_EQ(run.status, 3) << run.output;
  const std::string cases = junit_cases(report);
  EXPECT_EQ(without_times(cases),
            "hello: PASS|\n"
            "hello: FAIL|\"hello: FAIL\" not seen within 1 s\n"
            "the run's end status|status 3: an expect failed\n")
      << test::TempDir::read(report);
  EXPECT_NE(cases.find("hello: FAIL|1."), std::string::npos) << cases;  // it waited its second
}

}  // namespace
}  // namespace dravel::e2e
