#pragma once
// A batch run's judgement as JUnit XML, the report GitLab, Jenkins and GitHub show as test
// results: one test case per expect and one for how the run ended. Every text in it comes
// from the board or a script, so all of it is escaped into well-formed XML 1.0, whatever
// bytes it holds.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravel {

struct JunitCase {
  std::string name;
  std::int64_t ms = 0;                 // how long it took
  std::optional<std::string> failure;  // why it failed; none when it passed
};

struct JunitRun {
  std::string suite;  // the suite's name, and each case's classname
  std::vector<JunitCase> cases;
  JunitCase end;        // the run's end status (passed, a lost device, the --timeout)
  std::int64_t ms = 0;  // the whole run
};

// The report: <testsuites> holding one <testsuite>.
std::string junit_xml(const JunitRun& run);

// `text` fit for XML 1.0 character data and attribute values: markup characters as entities,
// tab/LF/CR as character references (so attributes keep them), and what XML 1.0 cannot hold
// at all (other control characters, bytes that are no UTF-8, U+FFFE/U+FFFF) as the text \xNN.
std::string xml_escaped(std::string_view text);

}  // namespace dravel
