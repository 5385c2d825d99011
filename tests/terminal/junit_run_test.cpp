// --junit on the ends a batch run can have besides its scripts running out: each writes the
// report, with the expect that was waiting and the end status saying why.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/rig.h"

namespace dravel::test {
namespace {

TEST(JunitRun, EveryEndWritesTheReport) {
  struct Case {
    const char* name;
    std::string script;
    std::vector<std::string> options;
    bool unplug;  // the device goes while the expect waits
    int status;
    std::vector<std::string> in_report;
  };
  const Case cases[] = {
      {"timeout",
       "local expect -t 100 never\n",
       {"--timeout", "2"},
       false,
       124,
       {"<testcase name=\"never\"", "message=\"the run ended first (status 124)\"",
        "message=\"status 124: the run took longer than --timeout 2 s\"", "tests=\"2\"",
        "failures=\"2\""}},
      {"lost device",
       "local expect -t 100 never\n",
       {},
       true,
       1,
       {"<testcase name=\"never\"", "message=\"stopped before it was seen\"",
        "message=\"status 1: the serial device was lost\""}},
      {"unknown board",
       "local echo x\n",
       {"-b", "nope"},
       false,
       1,
       {"tests=\"1\"", "message=\"status 1: no board &quot;nope&quot; in "}},
      {"passed",
       "local echo x\n",
       {},
       false,
       0,
       {"<testcase name=\"the run&apos;s end status\"", "failures=\"0\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    TempDir& dir = rig.home;
    rig.env["XDG_CONFIG_HOME"] = dir.path();
    if (c.unplug) rig.idle.on_wait = [&rig] { rig.serial.unplug(); };
    std::vector<std::string> args = {"--batch", "--junit", dir.file("report.xml")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(dir.write("test.scr", c.script));
    EXPECT_EQ(rig.run(args), c.status) << rig.console.screen;
    const std::string report = TempDir::read(dir.file("report.xml"));
    for (const std::string& text : c.in_report)
      EXPECT_NE(report.find(text), std::string::npos) << text << "\n" << report;
  }
}

TEST(JunitRun, AReportThatCannotBeWrittenFailsAPassedRun) {
  Rig rig;
  const std::string script = rig.home.write("test.scr", "local echo x\n");
  EXPECT_EQ(rig.run({"--batch", "--junit", rig.home.file("no/such/dir/r.xml"), script}), 1);
  EXPECT_NE(rig.console.screen.find("dravel: cannot write the JUnit report"), std::string::npos)
      << rig.console.screen;
}

}  // namespace
}  // namespace dravel::test
