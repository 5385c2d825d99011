// The S-record line check: what a record is, and where a file first stops being records.
#include "loader/srec_check.h"

#include <gtest/gtest.h>

#include "core/text_reader.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

TEST(SrecCheck, TellsRecordsFromOtherLines) {
  const std::pair<std::string, const char*> lines[] = {
      {"S00600004844521B", nullptr},
      {"S1030000FC", nullptr},
      {"s1030000fc", "does not begin"},
      {"S2040000001B", nullptr},
      {"S30500000000FA", nullptr},
      {"S9030000fc", nullptr},
      {"S", "does not begin"},
      {"SX030000FC", "does not begin"},
      {"S1", "odd or missing"},
      {"S10", "odd or missing"},
      {"S1030000F", "odd or missing"},
      {"S1030000FCFF", "does not fit"},
      {"S1FF0000FC", "does not fit"},
      {"S20300FC00", "too short"},
      {"S1030000FC ", "not a hex digit"},
      {"S1030000FC\r", "not a hex digit"},
      {std::string("S10300\0\0FC", 10), "not a hex digit"},
      {"S1FF" + std::string(510, 'A'), nullptr},
      {"S1FF" + std::string(512, 'A'), "too long"},
  };
  for (const auto& [line, problem] : lines) {
    const char* got = srec_line_problem(line);
    if (problem == nullptr)
      EXPECT_EQ(got, nullptr) << line << ": " << got;
    else
      EXPECT_NE(got != nullptr ? std::string(got).find(problem) : std::string::npos,
                std::string::npos)
          << line;
  }
}

TEST(SrecCheck, FindsTheFirstBadLineOfAFileAndRewinds) {
  TempDir dir;
  const std::pair<std::string, int> files[] = {
      {"S1030000FC\r\n\r\n  \nS9030000FC", 0},  // blank lines pass, CR LF reads as LF
      {"", 1},
      {"\nS1030000FC\n", 1},
      {"S1030000FC\nS1030001FB\nhello\nS9\n", 3},
      {"S1030000FC\n" + std::string(600, 'S') + "\n", 2},  // one long line, counted once
      {std::string("S1030000FC\nS10300\0\0FC\n", 22), 2},
      {"S1030000FC\n\x1a"
       "garbage\n",
       0},  // the end-of-file byte ends the text
  };
  for (const auto& [content, line] : files) {
    TextReader file;
    ASSERT_TRUE(file.open(dir.write("f.mot", content)));
    EXPECT_EQ(srec_file_problem(file).line, line) << content;
    char first[8];
    EXPECT_EQ(file.read_line(first, sizeof first), !content.empty()) << "rewound";
  }
}

}  // namespace
}  // namespace dravel::test
