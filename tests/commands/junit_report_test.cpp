// The JUnit report read back by a real XML parser (Python's), with names and messages that
// hold everything a board can print.
#include "commands/junit_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace dravel {
namespace {

TEST(JunitReport, EscapesWhatXmlCannotHold) {
  struct Case {
    std::string text;
    const char* escaped;
  };
  const Case cases[] = {
      {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&apos;"},
      {"tab\tlf\ncr\r", "tab&#9;lf&#10;cr&#13;"},
      {std::string("nul") + '\0' +
           "bel\x07"
           "esc\x1b del\x7f",
       "nul\\x00bel\\x07esc\\x1B del\\x7F"},
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"\xff\xc3 \xc0\xaf \xed\xa0\x80 \xef\xbf\xbe \xf4\x90\x80\x80 \xe2\x82",
       "\\xFF\\xC3 \\xC0\\xAF \\xED\\xA0\\x80 \\xEF\\xBF\\xBE \\xF4\\x90\\x80\\x80 \\xE2\\x82"},
  };
  for (const Case& c : cases) EXPECT_EQ(xml_escaped(c.text), c.escaped) << c.escaped;
}

TEST(JunitReport, ACiParserReadsEveryCaseBack) {
#ifdef _WIN32
  GTEST_SKIP() << "no Python under Wine";
#else
  if (std::system("python3 -c '' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
  JunitRun run;
  run.suite = "boot <smoke> & \"reset\"";
  run.cases.push_back({"monitor>", 1234, std::nullopt});
  run.cases.push_back(
      {std::string("selftest: \x01PASS\xff\t\r\n"), 30'000,
       std::string("no \"selftest: PASS\" within 30 s; last: \x1b[31m") + '\0' + "x"});
  run.end = {"run: exit status 3", 31'500, std::string("an expect failed")};
  run.ms = 31'500;

  const std::string path = ::testing::TempDir() + "junit_report_test.xml";
  const std::string listed = path + ".txt";
  std::ofstream(path, std::ios::binary) << junit_xml(run);
  const std::string command =
      "python3 " DRAVEL_FIXTURES "/../tools/junit_check.py " + path + " > " + listed;
  ASSERT_EQ(std::system(command.c_str()), 0) << junit_xml(run);

  std::ifstream in(listed);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all,
            "monitor>|1.234|\n"
            "selftest: \\x01PASS\\xFF\t\r\n|30.000|no \"selftest: PASS\" within 30 s; last: "
            "\\x1B[31m\\x00x\n"
            "run: exit status 3|31.500|an expect failed\n");
  std::remove(path.c_str());
  std::remove(listed.c_str());
#endif
}

}  // namespace
}  // namespace dravel
