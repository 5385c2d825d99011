#include "link/block_protocol.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "support/rig.h"
#include "support/wire.h"

namespace dravel::test {
namespace {

constexpr std::size_t WIRE_PACKET = 2050;

struct BlockProtocolTest : ::testing::Test {
  ScriptedPeer peer;
  Rig rig{peer};
  TempDir dir;
  void SetUp() override {
    rig.s().history_path = dir.file("his");
    rig.open_port();
  }
  // The target answers each whole packet with the next byte of `answers`, then 'Y'.
  void answer_packets(std::string answers) {
    peer.on_write = [answers, given = std::size_t{0}](ScriptedPeer& p, const std::uint8_t*,
                                                      std::size_t) mutable {
      if (p.received.size() < (given + 1) * WIRE_PACKET) return;
      p.say(std::string(1, given < answers.size() ? answers[given] : 'Y'));
      ++given;
    };
  }
  int send(const std::string& data) {
    return send_packets(rig.s().link, reinterpret_cast<const std::uint8_t*>(data.data()),
                        static_cast<std::int32_t>(data.size()));
  }
};

TEST_F(BlockProtocolTest, HeaderIsStartByteAddressAndCountMostSignificantFirst) {
  send_transfer_header(rig.s().link, 0x801F, 0x10);
  EXPECT_EQ(peer.received, std::string("\x01\x00\x00\x80\x1F\x00\x00\x00\x10", 9));
}

TEST_F(BlockProtocolTest, PacketsArePaddedWithZerosAndCarryTheSum) {
  answer_packets("");
  EXPECT_EQ(send("\x7f"), 0);
  EXPECT_EQ(peer.received, packet("\x7f"));
  EXPECT_EQ(static_cast<unsigned char>(peer.received.back()), 0x7F);

  peer.received.clear();
  answer_packets("");
  std::string data(2049, '\0');
  std::iota(data.begin(), data.end(), 0);
  send(data);
  EXPECT_EQ(peer.received, packet(data.substr(0, 2048)) + packet(data.substr(2048)));

  peer.received.clear();
  answer_packets("");
  send(std::string(2048, '\xff'));
  ASSERT_EQ(peer.received.size(), WIRE_PACKET);
  EXPECT_EQ(peer.received.back(), '\0');
}

// Start byte, payload, padding and sum leave in one write, however short the payload: over a
// network port that is one TCP segment a packet, not a stream of small ones.
TEST_F(BlockProtocolTest, EachPacketIsOneWriteSoOneSegmentOverANetworkPort) {
  answer_packets("");
  const int before = rig.serial.writes;
  send(std::string(2049, 'x'));
  EXPECT_EQ(rig.serial.writes - before, 2);
}

TEST_F(BlockProtocolTest, AnythingButYesResendsThePacketFromItsStartByte) {
  answer_packets("N?\x02");
  send("abc");
  EXPECT_EQ(peer.received, packet("abc") + packet("abc") + packet("abc") + packet("abc"));
}

TEST_F(BlockProtocolTest, EmptyOrNegativeLengthsSendNothing) {
  EXPECT_EQ(send(""), 0);
  EXPECT_EQ(send_packets(rig.s().link, nullptr, -5), 0);
  std::uint8_t buf[1];
  EXPECT_EQ(receive_packets(rig.s().link, buf, 0), 0);
  EXPECT_EQ(peer.received, "");
}

// A target in read mode: each 0x02 brings the next payload; `corrupt` marks requests
// (counted from 0) whose checksum arrives wrong.
struct ReadTarget {
  std::vector<int> corrupt;
  int requests = 0;
  int packet_index = 0;
  std::string payload(int index, int attempt) const {
    std::string p(2048, '\0');
    for (std::size_t i = 0; i < p.size(); ++i)
      p[i] = static_cast<char>(index * 31 + attempt * 7 + static_cast<int>(i));
    return p;
  }
  void attach(ScriptedPeer& peer) {
    peer.on_write = [this](ScriptedPeer& p, const std::uint8_t* data, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i) {
        if (data[i] == 'Y') ++packet_index;
        if (data[i] != 0x02) continue;
        bool bad = std::find(corrupt.begin(), corrupt.end(), requests) != corrupt.end();
        std::string body = packet(payload(packet_index, requests)).substr(1);
        if (bad) body.back() = static_cast<char>(body.back() + 1);
        p.say(body);
        ++requests;
      }
    };
  }
};

TEST_F(BlockProtocolTest, ReceiveAnswersEachPacketAndAsksAgainAfterABadSum) {
  ReadTarget target;
  target.corrupt = {2};  // the first try of the third packet
  target.attach(peer);
  peer.max_chunk = 300;  // payloads arrive over several reads
  std::vector<std::uint8_t> buf(0x4000);
  EXPECT_EQ(receive_packets(rig.s().link, buf.data(), 0x4000), 0);
  EXPECT_EQ(peer.received, "\x02Y\x02Y\x02N\x02Y\x02Y\x02Y\x02Y\x02Y\x02Y");
  EXPECT_EQ(target.requests, 9);
  std::string got(buf.begin(), buf.end());
  EXPECT_EQ(got.substr(0, 2048), target.payload(0, 0));
  EXPECT_EQ(got.substr(2 * 2048, 2048), target.payload(2, 3));  // the second payload
  EXPECT_EQ(got.substr(7 * 2048), target.payload(7, 8));
}

// Bad sums are counted per packet: each of two packets may go bad one time fewer than the
// limit; a packet bad PACKET_TRIES times in a row ends the transfer.
TEST_F(BlockProtocolTest, ReceiveGivesEachPacketItsOwnTries) {
  for (int first_bad : {PACKET_TRIES - 1, PACKET_TRIES}) {
    ReadTarget target;
    for (int i = 0; i < first_bad; ++i) target.corrupt.push_back(i);
    for (int i = 0; i < PACKET_TRIES - 1; ++i) target.corrupt.push_back(first_bad + 1 + i);
    target.attach(peer);
    std::vector<std::uint8_t> buf(2 * 2048);
    const bool whole = first_bad < PACKET_TRIES;
    EXPECT_EQ(receive_packets(rig.s().link, buf.data(), 2 * 2048), whole ? 0 : -1) << first_bad;
    if (whole) {
      EXPECT_EQ(std::string(buf.begin() + 2048, buf.end()),
                target.payload(1, 2 * PACKET_TRIES - 1));
    }
  }
}

TEST_F(BlockProtocolTest, ShortLengthTakesAWholePacketButFillsOnlyTheLength) {
  ReadTarget target;
  target.attach(peer);
  std::vector<std::uint8_t> buf(0x120, 0xEE);
  EXPECT_EQ(receive_packets(rig.s().link, buf.data(), 0x100), 0);
  EXPECT_EQ(peer.received, "\x02Y");
  EXPECT_EQ(std::string(buf.begin(), buf.begin() + 0x100), target.payload(0, 0).substr(0, 0x100));
  EXPECT_EQ(buf[0x100], 0xEE);
  EXPECT_EQ(buf[0x11F], 0xEE);
}

}  // namespace
}  // namespace dravel::test
