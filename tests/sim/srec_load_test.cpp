#include <gtest/gtest.h>

#include <algorithm>

#include "sim/monitor.h"
#include "sim/srec.h"
#include "sim_test_util.h"

namespace dravel::sim {
namespace {

using testing::as_string;

const std::string PROMPT_TEXT(PROMPT);
// A classic S1 record: 16 bytes at 0x0000, checksum 0x2A.
const std::string S1_LINE = "S1130000285F245F2212226A000424290008237C2A";
const std::string S1_DATA("\x28\x5F\x24\x5F\x22\x12\x22\x6A\x00\x04\x24\x29\x00\x08\x23\x7C", 16);
const std::string S0_LINE = "S00F000068656C6C6F202020202000003C";
const std::string S9_LINE = "S9030000FC";
// 4 bytes at 0x80010000 and a start record naming it.
const std::string S3_LINE = "S30980010000DEADBEEF3D";
const std::string S7_LINE = "S7058001000079";

std::size_t count_n(const std::string& s) {
  return std::count(s.begin(), s.end(), 'N');
}

struct SrecLoadTest : ::testing::Test {
  Monitor m;
  std::string say(std::string_view bytes) {
    m.receive(bytes);
    return m.take_output();
  }
  std::string line(const std::string& l) { return say(l + "\n"); }
};

TEST_F(SrecLoadTest, Ld2WaitsForGAndLineFeedThenAcknowledgesEveryLine) {
  EXPECT_EQ(say("ld2\r"), "ld2");
  EXPECT_EQ(m.mode(), Mode::srec_load);
  // Nothing before 'G' and LF counts as a record.
  EXPECT_EQ(say(S1_LINE + "\n"), "");
  EXPECT_EQ(say("G\n"), "");
  EXPECT_EQ(line(S0_LINE), "N\n");
  EXPECT_EQ(line(S1_LINE), "N\n");
  EXPECT_EQ(line(""), "N\n");  // blank lines pass
  EXPECT_EQ(as_string(m.memory().read(0, 17)), S1_DATA + std::string(1, '\0'));
  EXPECT_EQ(line(S9_LINE), "N\n\r\nloaded 16 bytes, 0 errors, start 00000000" + PROMPT_TEXT);
  EXPECT_EQ(m.mode(), Mode::command);
  EXPECT_EQ(m.srec().lines(), 4);
}

TEST_F(SrecLoadTest, WideAddressesCrLfLinesAndTheStartRecordSetEpc) {
  say("ld2\rG\n");
  EXPECT_EQ(say(S3_LINE + "\r\n"), "N\n");
  EXPECT_EQ(as_string(m.memory().read(0x80010000, 4)), "\xDE\xAD\xBE\xEF");
  std::string end = say(S7_LINE + "\r\n");
  EXPECT_TRUE(end.starts_with("N\n\r\nloaded 4 bytes, 0 errors, start 80010000"));
  EXPECT_EQ(m.registers().get("epc"), 0x80010000u);
}

TEST_F(SrecLoadTest, BadRecordsAreReportedBeforeTheAckAndNotStored) {
  say("ld2\rG\n");
  const std::pair<std::string, std::string> cases[] = {
      {"S1130000285F245F2212226A000424290008237C2B", "line 1: checksum error"},
      {"S1130000285F245F2212226A000424290008237C", "line 2: bad record length"},
      {"S1130000285F245F2212226A00042429000823XX2A", "line 3: bad hex digit"},
      {"S40300FC", "line 4: unknown record type"},
      {"hello", "line 5: not an s-record"},
      {"S30940000000DEADBEEF", "line 6: bad record length"},
      {"S30940000000DEADBEEF7E", "line 7: address 40000000 not mapped"},
      {"S1", "line 8: bad record length"},
      {std::string(700, 'S'), "line 9: line too long"},
  };
  for (const auto& [text, message] : cases) {
    std::string out = line(text);
    EXPECT_EQ(out.find("\r\n" + message), 0u) << out;
    // The host takes the first 'N' for the acknowledgement.
    EXPECT_EQ(count_n(out), 1u) << out;
    EXPECT_TRUE(out.ends_with("N\n")) << out;
  }
  EXPECT_EQ(m.memory().pages_in_use(), 0u);
  std::string end = line(S9_LINE);
  EXPECT_NE(end.find("0 bytes, 9 errors"), std::string::npos) << end;
  EXPECT_EQ(count_n(end), 1u);
}

TEST_F(SrecLoadTest, BreakEndsTheLoadAtAnyStage) {
  EXPECT_EQ(say("ld2\r\x03"), "ld2^C" + PROMPT_TEXT);
  EXPECT_EQ(m.mode(), Mode::command);
  say("ld2\rG\n");
  line(S1_LINE);
  EXPECT_EQ(say("S1\x03"), "^C" + PROMPT_TEXT);
  EXPECT_EQ(m.mode(), Mode::command);
  // What came before the break stays loaded.
  EXPECT_EQ(as_string(m.memory().read(0, 16)), S1_DATA);
}

TEST_F(SrecLoadTest, LreqAnnouncesADataLoad) {
  EXPECT_EQ(say("lreq\r"), "lreq\r\nS-format data load start\r\n");
  EXPECT_EQ(m.mode(), Mode::srec_load);
  EXPECT_EQ(say("G\n" + S3_LINE + "\n"), "N\n");
  EXPECT_TRUE(line(S7_LINE).ends_with(PROMPT_TEXT));
}

TEST_F(SrecLoadTest, FloadAnnouncesAFileLoadAndAnswersTheNameAfterF) {
  EXPECT_EQ(say("fload my.mot\r"), "fload my.mot\r\nS-format file load start\r\n");
  EXPECT_EQ(say("xG\n"), "");  // nothing counts before 'F'
  EXPECT_EQ(say("F"), "my.mot\r");
  EXPECT_EQ(say("G\n" + S3_LINE + "\n"), "N\n");
  EXPECT_EQ(m.registers().get("epc"), 0u);
  line(S7_LINE);
  EXPECT_EQ(m.registers().get("epc"), 0x80010000u);

  EXPECT_EQ(say("fload\r"), "fload\r\nusage: fload <file name>" + PROMPT_TEXT);
  EXPECT_EQ(say("fload a\rF\x03"), "fload a\r\nS-format file load start\r\na\r^C" + PROMPT_TEXT);
}

TEST_F(SrecLoadTest, DroppedAcknowledgementsStillStoreTheData) {
  m.faults().drop_srec_acks_from = 2;
  say("ld2\rG\n");
  EXPECT_EQ(line(S0_LINE), "N\n");
  EXPECT_EQ(line(S3_LINE), "");
  EXPECT_EQ(as_string(m.memory().read(0x80010000, 4)), "\xDE\xAD\xBE\xEF");
  // The end record still ends the load, without its acknowledgement.
  EXPECT_TRUE(line(S7_LINE).starts_with("\r\nloaded 4 bytes"));
}

TEST(SrecParse, CountRecordsAndTrailingBlanks) {
  SrecResult r = parse_srec("S5030003F9  \r");
  ASSERT_EQ(r.error, SrecError::none);
  EXPECT_EQ(r.record.kind, SrecKind::count);
  EXPECT_EQ(r.record.address, 3u);
  r = parse_srec("S80401234592");
  ASSERT_EQ(r.error, SrecError::none);
  EXPECT_EQ(r.record.kind, SrecKind::start);
  EXPECT_EQ(r.record.address, 0x012345u);
  // Odd number of digits, a count that claims more than is there, an empty data count.
  EXPECT_EQ(parse_srec("S1130").error, SrecError::bad_length);
  EXPECT_EQ(parse_srec("S1FF0000FF").error, SrecError::bad_length);
  EXPECT_EQ(parse_srec("S100FF").error, SrecError::bad_length);
  EXPECT_EQ(parse_srec("s1030000FC").error, SrecError::not_a_record);
}

}  // namespace
}  // namespace dravel::sim
