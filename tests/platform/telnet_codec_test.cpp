// The telnet / RFC 2217 decoder on byte sequences: splits at every offset, the Q method's
// answers, and a hostile server's input.
#include "platform/telnet_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace dravel::platform::telnet {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Out {
  Bytes data, replies;
};

// The input fed in pieces cut at the given offsets.
Out feed(Codec& c, const Bytes& in, std::vector<std::size_t> cuts = {}) {
  Out o;
  std::size_t at = 0;
  cuts.push_back(in.size());
  for (std::size_t cut : cuts) {
    c.decode(in.data() + at, cut - at, o.data, o.replies);
    at = cut;
  }
  return o;
}

// A codec that has agreed to binary both ways, as with ser2net.
Codec binary_codec() {
  Codec c;
  Bytes ignored;
  c.request(true, BINARY, ignored);
  c.request(false, BINARY, ignored);
  feed(c, {IAC, DO, BINARY, IAC, WILL, BINARY});
  return c;
}

TEST(TelnetCodec, EveryCutGivesTheSameDataAndAnswers) {
  // Data with doubled 0xFF, a baud answer with a doubled 0xFF split anywhere, a notify, an
  // option offer.
  const Bytes stream = {'a', IAC, IAC, 'b',  IAC, SB,  COM_PORT, 101,      0,   1,
                        IAC, IAC, 0,   IAC,  SE,  IAC, SB,       COM_PORT, 107, 0x30,
                        IAC, SE,  IAC, WILL, 5,   IAC, IAC,      'c'};
  const Bytes data = {'a', 0xFF, 'b', 0xFF, 'c'};
  const Bytes replies = {IAC, DONT, 5};
  for (std::size_t i = 0; i <= stream.size(); ++i) {
    for (std::size_t j = i; j <= stream.size(); ++j) {
      Codec c = binary_codec();
      Out o = feed(c, stream, {i, j});
      ASSERT_EQ(o.data, data) << "cut at " << i << "," << j;
      ASSERT_EQ(o.replies, replies) << "cut at " << i << "," << j;
      ASSERT_EQ(c.answer(SET_BAUDRATE), 0x0001FF00u);
    }
  }
}

TEST(TelnetCodec, QMethodAnswersOnlyWhatChangesState) {
  struct Case {
    const char* what;
    Bytes in;
    Bytes replies;
  };
  const Case cases[] = {
      {"offer of a used option accepted once",
       {IAC, WILL, SUPPRESS_GO_AHEAD, IAC, WILL, 3},
       {IAC, DO, SUPPRESS_GO_AHEAD}},
      {"unknown options refused", {IAC, DO, 24, IAC, WILL, 1}, {IAC, WONT, 24, IAC, DONT, 1}},
      {"refusal of what is off says nothing", {IAC, DONT, 24, IAC, WONT, 1}, {}},
      {"server may not do the COM port", {IAC, WILL, COM_PORT}, {IAC, DONT, COM_PORT}},
      {"request for the COM port side accepted", {IAC, DO, COM_PORT}, {IAC, WILL, COM_PORT}},
      {"an option turned off is confirmed once",
       {IAC, DO, BINARY, IAC, DONT, BINARY, IAC, DONT, 0},
       {IAC, WILL, BINARY, IAC, WONT, BINARY}},
      {"a storm of the same request is not a loop",
       {IAC, DO, 0, IAC, DO, 0, IAC, DO, 0},
       {IAC, WILL, 0}},
  };
  for (const Case& k : cases) {
    Codec c;
    EXPECT_EQ(feed(c, k.in).replies, k.replies) << k.what;
  }
}

TEST(TelnetCodec, OwnRequestIsConfirmedWithoutAnAnswer) {
  Codec c;
  Bytes out;
  c.request(true, COM_PORT, out);
  c.request(true, COM_PORT, out);  // asked once only
  EXPECT_EQ(out, (Bytes{IAC, WILL, COM_PORT}));
  EXPECT_EQ(c.local(COM_PORT), Codec::Q::WantYes);
  EXPECT_TRUE(feed(c, {IAC, DO, COM_PORT}).replies.empty());
  EXPECT_EQ(c.local(COM_PORT), Codec::Q::Yes);
  Codec refused;
  refused.request(false, BINARY, out);
  EXPECT_TRUE(feed(refused, {IAC, WONT, BINARY}).replies.empty());
  EXPECT_EQ(refused.remote(BINARY), Codec::Q::No);
}

TEST(TelnetCodec, WithoutBinaryCarriageReturnTravelsAsCrNul) {
  Codec c;
  EXPECT_EQ(feed(c, {'a', '\r', 0, 'b', '\r', '\n', '\r'}).data,
            (Bytes{'a', '\r', 'b', '\r', '\n', '\r'}));
  EXPECT_EQ(feed(c, {0, 'x'}).data, Bytes{'x'});  // the NUL of a CR in the last read
  Bytes out;
  c.encode(reinterpret_cast<const std::uint8_t*>("\r\xff"), 2, out);
  EXPECT_EQ(out, (Bytes{'\r', 0, IAC, IAC}));

  Codec b = binary_codec();
  EXPECT_EQ(feed(b, {'\r', 0}).data, (Bytes{'\r', 0}));
  out.clear();
  b.encode(reinterpret_cast<const std::uint8_t*>("\r\xff"), 2, out);
  EXPECT_EQ(out, (Bytes{'\r', IAC, IAC}));
}

TEST(TelnetCodec, HostileInputStaysBounded) {
  Codec c = binary_codec();
  // A subnegotiation that never ends swallows what follows, within its cap, and one that
  // ends after too much is dropped, not taken as an answer.
  Bytes endless(100'000, 'x');
  std::copy_n(Bytes{IAC, SB, COM_PORT, 101}.begin(), 4, endless.begin());
  Out o = feed(c, endless);
  EXPECT_TRUE(o.data.empty());
  feed(c, {IAC, SE, 'k'});
  EXPECT_FALSE(c.answer(SET_BAUDRATE));
  // An SB cut short by another command ends there.
  o = feed(c, {IAC, SB, COM_PORT, 101, 0, IAC, WILL, 7, 'z'});
  EXPECT_EQ(o.data, Bytes{'z'});
  EXPECT_EQ(o.replies, (Bytes{IAC, DONT, 7}));
  EXPECT_FALSE(c.answer(SET_BAUDRATE));
  // Other commands (NOP, GA) and a zero-length read are nothing.
  o = feed(c, {IAC, 241, IAC, 249, 'q'}, {0, 0, 2});
  EXPECT_EQ(o.data, Bytes{'q'});
}

TEST(TelnetCodec, ComPortCommandEscapesItsValue) {
  Bytes out;
  const std::uint8_t rate[] = {0, 0, 0xFF, 0xFF};
  Codec::com_port(SET_BAUDRATE, rate, sizeof rate, out);
  EXPECT_EQ(out, (Bytes{IAC, SB, COM_PORT, 1, 0, 0, IAC, IAC, IAC, IAC, IAC, SE}));
}

}  // namespace
}  // namespace dravel::platform::telnet
