#include <gtest/gtest.h>

#include "sim/monitor.h"
#include "sim_test_util.h"

namespace dravel::sim {
namespace {

using testing::as_string;
using testing::packet;
using testing::pattern;
using testing::transfer_header;

const std::string PROMPT_TEXT(PROMPT);

struct BinaryModeTest : ::testing::Test {
  Monitor m;
  std::string say(std::string_view bytes) {
    m.receive(bytes);
    return m.take_output();
  }
  std::string memory(std::uint32_t addr, std::size_t n) {
    return as_string(m.memory().read(addr, n));
  }
};

TEST_F(BinaryModeTest, WriteModeStoresAcknowledgedPacketsAndLeavesOnCarriageReturn) {
  EXPECT_EQ(say("bwr\r"), "bwr\r\nbinary\r");
  EXPECT_EQ(m.mode(), Mode::binary_write);
  const std::string data = pattern(2048 + 16);
  EXPECT_EQ(say(transfer_header(0x80010000, 2048 + 16)), "");
  EXPECT_EQ(say(packet(data.substr(0, 2048))), "Y");
  // The last packet's padding is not stored, whatever the host padded with.
  EXPECT_EQ(say(packet(data.substr(2048), '\x55')), "Y");
  EXPECT_EQ(memory(0x80010000, data.size()), data);
  EXPECT_EQ(memory(0x80010000 + 2048 + 16, 4), std::string(4, '\0'));

  // A second transfer in the same bracket.
  EXPECT_EQ(say(transfer_header(0x80020000, 3) + packet("abc")), "Y");
  EXPECT_EQ(memory(0x80020000, 3), "abc");

  EXPECT_EQ(say("\r"), "end binary\r" + PROMPT_TEXT);
  EXPECT_EQ(m.mode(), Mode::command);
}

TEST_F(BinaryModeTest, WriteModeAnswersNToABadChecksumAndTakesTheResend) {
  say("bwr\r");
  const std::string data = pattern(4096, 3);
  say(transfer_header(0x80000000, 4096));
  EXPECT_EQ(say(packet(data.substr(0, 2048), '\0', 1)), "N");
  EXPECT_EQ(memory(0x80000000, 2048), std::string(2048, '\0'));
  EXPECT_EQ(say(packet(data.substr(0, 2048))), "Y");
  EXPECT_EQ(say(packet(data.substr(2048))), "Y");
  EXPECT_EQ(memory(0x80000000, 4096), data);
  // All 0xFF sums to 0x00.
  say(transfer_header(0x80004000, 2048));
  std::string ff = packet(std::string(2048, '\xff'));
  EXPECT_EQ(ff.back(), '\0');
  EXPECT_EQ(say(ff), "Y");
  // Packets with no transfer left are refused.
  EXPECT_EQ(say(packet("x")), "N");
}

TEST_F(BinaryModeTest, ReadModeSendsPacketsOnRequestAndResendsAfterN) {
  const std::string data = pattern(3000, 5);
  m.memory().write(0x80030000, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
  EXPECT_EQ(say("brd\r"), "brd\r\nbinary\r");
  EXPECT_EQ(m.mode(), Mode::binary_read);
  EXPECT_EQ(say(transfer_header(0x80030000, 0x1000)), "");

  std::string first = say("\x02");
  ASSERT_EQ(first.size(), 2049u);
  EXPECT_EQ(first, packet(data.substr(0, 2048)).substr(1));
  // 'N': the same packet comes again on the next request.
  EXPECT_EQ(say("N"), "");
  EXPECT_EQ(say("\x02"), first);
  EXPECT_EQ(say("Y"), "");
  // Memory past what was written reads as zero.
  EXPECT_EQ(say("\x02"), packet(data.substr(2048)).substr(1));
  EXPECT_EQ(say("Y"), "");
  // The transfer is done: further requests go unanswered.
  EXPECT_EQ(say("\x02"), "");
  EXPECT_EQ(say("\r"), "end binary\r" + PROMPT_TEXT);
}

TEST_F(BinaryModeTest, ReadModeTakesARequestInPlaceOfAnAnswerAsAResend) {
  say("brd\r");
  say(transfer_header(0x80000000, 4096));
  std::string first = say("\x02");
  EXPECT_EQ(say("\x02"), first);
  say("Y");
  EXPECT_EQ(m.binary().address(), 0x80000800u);
  EXPECT_EQ(m.binary().remaining(), 2048u);
}

TEST_F(BinaryModeTest, RangesOutsideTheMapAreRefusedAndNothingIsWritten) {
  say("bwr\r");
  for (auto [addr, count] : {std::pair<std::uint32_t, std::uint32_t>{0x40000000, 16},
                             {0x807FF800, 0x1000},      // runs off the end of RAM
                             {0x80000000, 0xFFFFFFFF},  // huge count
                             {0xFFFFFF00, 0x1000}}) {   // past the top of the space
    say(transfer_header(addr, count));
    EXPECT_EQ(say(packet("data")), "N") << std::hex << addr;
  }
  EXPECT_EQ(m.memory().pages_in_use(), 0u);
  say("\r");

  say("brd\r");
  say(transfer_header(0x40000000, 0x800));
  EXPECT_EQ(say("\x02"), "");
  // Still in binary mode and able to leave.
  EXPECT_EQ(say("\r"), "end binary\r" + PROMPT_TEXT);
}

TEST_F(BinaryModeTest, BreakLeavesBetweenFramesButIsDataInsideThem) {
  say("bwr\r");
  say(transfer_header(0x80000000, 4));
  EXPECT_EQ(say(packet("\x03\r\x01\x02")), "Y");
  EXPECT_EQ(memory(0x80000000, 4), "\x03\r\x01\x02");
  EXPECT_EQ(m.mode(), Mode::binary_write);
  // Stray bytes between frames are ignored.
  EXPECT_EQ(say("zq"), "");
  EXPECT_EQ(say("\x03"), "^C" + PROMPT_TEXT);
  EXPECT_EQ(m.mode(), Mode::command);
}

TEST_F(BinaryModeTest, FaultsNakTheNthHostPacketAndCorruptTheNthSentOne) {
  m.faults().nak_host_packet = 2;
  say("bwr\r");
  const std::string data = pattern(6144, 9);
  say(transfer_header(0x80000000, 6144));
  EXPECT_EQ(say(packet(data.substr(0, 2048))), "Y");
  EXPECT_EQ(say(packet(data.substr(2048, 2048))), "N");
  EXPECT_EQ(say(packet(data.substr(2048, 2048))), "Y");
  EXPECT_EQ(say(packet(data.substr(4096))), "Y");
  EXPECT_EQ(memory(0x80000000, 6144), data);
  EXPECT_EQ(m.binary().host_packets(), 4u);
  say("\r");

  m.faults().corrupt_sent_packet = 1;
  say("brd\r");
  say(transfer_header(0x80000000, 2048));
  std::string bad = say("\x02");
  std::string good = packet(data.substr(0, 2048)).substr(1);
  EXPECT_EQ(bad.substr(0, 2048), good.substr(0, 2048));
  EXPECT_EQ(static_cast<std::uint8_t>(bad.back()), static_cast<std::uint8_t>(good.back() + 1));
  say("N");
  EXPECT_EQ(say("\x02"), good);
}

}  // namespace
}  // namespace dravel::sim
