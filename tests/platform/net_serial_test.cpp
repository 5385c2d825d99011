// The network serial device against scripted servers (a fake socket, a fake clock): what it
// asks, what it warns about, and that a silent server costs a time limit, not a hang.
#include "platform/net_serial.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/signal_flag.h"
#include "support/fake_socket.h"

namespace dravel::platform {
namespace {

using namespace telnet;
using test::Bytes;

using test::agreeable;
using test::FakeSocket;

bool contains(const Bytes& hay, const Bytes& needle) {
  return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

TEST(NetSerial, SetsTheLineUpAndWarnsWhatItCouldNot) {
  struct Case {
    const char* name;
    std::function<void(const Bytes&, Bytes&)> server;
    const char* warning;  // a part of it; "" for none
    std::int64_t most_ms;
    long rate = 0;  // the rate the server named
    bool refused = false;
  };
  // Only a server that names another rate is known to refuse; silence tells nothing.
  const Case cases[] = {
      {"rfc2217://h:1", [](const Bytes& s, Bytes& r) { agreeable(s, r); }, "", 0, 115200},
      {"rfc2217://h:1", [](const Bytes& s, Bytes& r) { agreeable(s, r, 9600); },
       "baud rate 115200 refused by rfc2217://h:1 (the server set 9600)", 0, 9600, true},
      {"rfc2217://h:1", [](const Bytes& s, Bytes& r) { agreeable(s, r, 0, false); },
       "does not take the COM port option", 0},
      {"rfc2217://h:1", [](const Bytes& s, Bytes& r) { agreeable(s, r, 0, true, false); },
       "(no answer from the server)", 3000},
      {"rfc2217://h:1", [](const Bytes&, Bytes&) {}, "does not take the COM port option", 3000},
      {"socket://h:1", [](const Bytes&, Bytes&) {}, "cannot be set over socket://h:1", 0},
  };
  for (const Case& k : cases) {
    FakeSocket sock;
    sock.serve = k.server;
    NetSerial net(sock);
    OpenResult r = net.open(k.name, 115200);
    ASSERT_TRUE(r.ok) << k.name << r.error;
    if (*k.warning == '\0')
      EXPECT_EQ(r.warning, "");
    else
      EXPECT_NE(r.warning.find(k.warning), std::string::npos) << r.warning;
    EXPECT_LE(sock.clock, k.most_ms) << k.warning;
    EXPECT_EQ(r.rate, k.rate) << k.warning;
    EXPECT_EQ(r.rate_refused, k.refused) << k.warning;
  }
}

TEST(NetSerial, AReconnectToASilentServerCostsItsShortLimitOnly) {
  FakeSocket sock;
  sock.serve = [](const Bytes& s, Bytes& r) { agreeable(s, r); };
  NetSerial net(sock);
  ASSERT_TRUE(net.open("rfc2217://h:1", 115200).ok);
  net.close();
  sock.serve = [](const Bytes&, Bytes&) {};  // accepts, then never answers
  const std::int64_t before = sock.clock;
  EXPECT_TRUE(net.open("rfc2217://h:1", 115200).ok);
  EXPECT_LE(sock.clock - before, net.reconnect_ms);
}

TEST(NetSerial, ASignalEndsTheWaitForASilentServerAtOnceWithoutAWarning) {
  FakeSocket sock;
  NetSerial net(sock);
  record_signal(SIGINT);
  OpenResult r = net.open("rfc2217://h:1", 115200);
  clear_signal();
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.warning, "");
  EXPECT_EQ(sock.clock, 0);  // 3 s of the answers' limit without it
}

// A server that hangs up while the line is set up: the port does not open, and says why.
TEST(NetSerial, AServerThatClosesDuringTheHandshakeFailsTheOpen) {
  for (int agreed_sends : {0, 1}) {  // closes at the option offers, or at the line settings
    FakeSocket sock;
    int sends = 0;
    sock.serve = [&](const Bytes& s, Bytes& r) {
      if (sends++ < agreed_sends)
        agreeable(s, r);
      else
        sock.closed_by_server = true;
    };
    NetSerial net(sock);
    OpenResult r = net.open("rfc2217://h:1", 115200);
    EXPECT_FALSE(r.ok) << agreed_sends;
    EXPECT_EQ(r.error, "closed");
    EXPECT_EQ(r.warning, "");
    EXPECT_FALSE(sock.is_open());
    EXPECT_EQ(sends, agreed_sends + 1);
  }
}

TEST(NetSerial, AsksForEightNoneOneWithoutFlowControl) {
  FakeSocket sock;
  sock.serve = [](const Bytes& s, Bytes& r) { agreeable(s, r); };
  NetSerial net(sock);
  ASSERT_TRUE(net.open("rfc2217://[::1]:2217", 921600).ok);
  const Bytes asked[] = {{IAC, WILL, COM_PORT},
                         {IAC, SB, COM_PORT, 1, 0, 0x0E, 0x10, 0, IAC, SE},
                         {IAC, SB, COM_PORT, 2, 8, IAC, SE},
                         {IAC, SB, COM_PORT, 3, 1, IAC, SE},
                         {IAC, SB, COM_PORT, 4, 1, IAC, SE},
                         {IAC, SB, COM_PORT, 5, 1, IAC, SE}};
  for (const Bytes& a : asked) EXPECT_TRUE(contains(sock.sent, a));
}

TEST(NetSerial, DataIsEscapedOnlyOverTelnetAndAnEndedConnectionIsALoss) {
  for (const char* name : {"rfc2217://h:1", "socket://h:1"}) {
    const bool telnet = name[0] == 'r';
    FakeSocket sock;
    sock.serve = [](const Bytes& s, Bytes& r) { agreeable(s, r); };
    NetSerial net(sock);
    ASSERT_TRUE(net.open(name, 9600).ok);
    sock.sent.clear();
    const std::uint8_t out[] = {'a', 0xFF, '\r'};
    EXPECT_EQ(net.write(out, sizeof out), 3);
    EXPECT_EQ(sock.sent, telnet ? (Bytes{'a', IAC, IAC, '\r'}) : (Bytes{'a', 0xFF, '\r'}));

    sock.inbound = {'x', IAC, IAC};
    net.take_input();
    std::uint8_t buf[8];
    ASSERT_EQ(net.read(buf, sizeof buf), telnet ? 2 : 3);
    EXPECT_EQ(buf[1], 0xFF);
    EXPECT_EQ(net.read(buf, sizeof buf), 0);
    sock.closed_by_server = true;
    EXPECT_EQ(net.read(buf, sizeof buf), -1);
    EXPECT_EQ(net.failure(), "closed");
  }
}

TEST(NetSerial, BreakAndModemLinesGoAsSetControlWithoutWaitingForAnAnswer) {
  struct Case {
    Control control;
    std::uint8_t value;
  };
  const Case cases[] = {{Control::BreakOn, 5}, {Control::BreakOff, 6}, {Control::DtrOn, 8},
                        {Control::DtrOff, 9},  {Control::RtsOn, 11},   {Control::RtsOff, 12}};
  FakeSocket sock;
  sock.serve = [](const Bytes& s, Bytes& r) { agreeable(s, r, 0, true, true); };
  NetSerial net(sock);
  ASSERT_TRUE(net.open("rfc2217://h:1", 115200).ok);
  sock.serve = [](const Bytes&, Bytes&) {};  // ser2net on a pty answers none of these
  for (const Case& c : cases) {
    sock.sent.clear();
    const std::int64_t before = sock.clock;
    ControlResult r = net.set_control(c.control);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(sock.sent, (Bytes{IAC, SB, COM_PORT, SET_CONTROL, c.value, IAC, SE}));
    EXPECT_EQ(sock.clock, before);
  }
}

TEST(NetSerial, BreakAndModemLinesAreRefusedByNameWhereThereAreNone) {
  struct Case {
    const char* name;
    bool com_port;
    const char* error;
  };
  const Case cases[] = {
      {"socket://h:1", true,
       "cannot set DTR on: socket://h:1 is a raw TCP port: it carries no BREAK or modem lines "
       "(rfc2217:// does)"},
      {"rfc2217://h:1", false,
       "cannot set DTR on: the server at rfc2217://h:1 does not take the COM port option"},
  };
  for (const Case& c : cases) {
    FakeSocket sock;
    sock.serve = [&](const Bytes& s, Bytes& r) { agreeable(s, r, 0, c.com_port); };
    NetSerial net(sock);
    ASSERT_TRUE(net.open(c.name, 9600).ok);
    sock.sent.clear();
    ControlResult r = net.set_control(Control::DtrOn);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, c.error);
    EXPECT_TRUE(sock.sent.empty());
    net.close();
    EXPECT_EQ(net.set_control(Control::BreakOn).error,
              "cannot set BREAK on: the device is not open");
  }
}

// Requests whose answers the server leaves unread: more than a few KiB and the device is
// lost; nothing waits on them meanwhile, so time alone loses nothing (a write held behind
// them is SerialPort's stall rule).
TEST(NetSerial, AServerThatLeavesItsAnswersUnreadIsALossBeyondTheirRoom) {
  struct Case {
    int requests;
    std::int64_t later_ms;
    bool lost;
  };
  const Case cases[] = {{1, 0, false},
                        {1, 60'000, false},
                        {NetSerial::UNSENT_ROOM / 3, 0, false},
                        {NetSerial::UNSENT_ROOM / 3 + 1, 0, true}};
  for (const Case& c : cases) {
    FakeSocket sock;
    sock.serve = [](const Bytes& s, Bytes& r) { agreeable(s, r); };
    NetSerial net(sock);
    ASSERT_TRUE(net.open("rfc2217://h:1", 9600).ok);
    sock.reads = false;
    for (int i = 0; i < c.requests; ++i) sock.inbound.insert(sock.inbound.end(), {IAC, DO, 99});
    std::uint8_t buf[64];
    long got = 0;
    while (got == 0 && !sock.inbound.empty()) got = net.read(buf, sizeof buf);
    sock.clock += c.later_ms;
    if (got == 0) got = net.read(buf, sizeof buf);
    EXPECT_EQ(got == -1, c.lost) << c.requests << " requests, " << c.later_ms << " ms";
    if (c.lost) {
      EXPECT_EQ(net.failure(), "the server leaves its telnet answers unread");
    }
  }
}

// A flood of telnet commands brings no data; one pass takes a bounded share of it.
TEST(NetSerial, OnePassTakesABoundedShareOfAFlood) {
  FakeSocket sock;
  sock.serve = [](const Bytes& s, Bytes& r) { agreeable(s, r); };
  NetSerial net(sock);
  ASSERT_TRUE(net.open("rfc2217://h:1", 9600).ok);
  for (int i = 0; i < 512 * 1024; ++i) sock.inbound.insert(sock.inbound.end(), {IAC, 241});
  const std::size_t before = sock.inbound.size();
  net.take_input();
  const std::size_t taken = before - sock.inbound.size();
  EXPECT_GE(taken, NetSerial::RAW_PER_PASS);
  EXPECT_LT(taken, NetSerial::RAW_PER_PASS + 4096);
}

TEST(NetSerial, BadNamesAndRefusedConnectionsDoNotOpen) {
  FakeSocket sock;
  sock.refuse = "Connection refused";
  NetSerial net(sock);
  OpenResult r = net.open("socket://localhost:7", 9600);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "Connection refused");

  struct Name {
    const char* name;
    NetKind kind;
    const char* host;
    int port;
    const char* error;  // part of it
  };
  const Name names[] = {
      {"rfc2217://lab-7.example:3001", NetKind::Rfc2217, "lab-7.example", 3001, ""},
      {"socket://10.0.0.2:65535", NetKind::Socket, "10.0.0.2", 65535, ""},
      {"rfc2217://[fe80::1%eth0]:1", NetKind::Rfc2217, "fe80::1%eth0", 1, ""},
      {"/dev/ttyUSB0", NetKind::None, "", 0, ""},
      {"rfc2217:/x:1", NetKind::None, "", 0, ""},
      {"rfc2217://", NetKind::Rfc2217, "", 0, "no port"},
      {"rfc2217://host", NetKind::Rfc2217, "", 0, "no port"},
      {"rfc2217://host:", NetKind::Rfc2217, "", 0, "no port"},
      {"socket://:80", NetKind::Socket, "", 0, "no host"},
      {"socket://h:0", NetKind::Socket, "", 0, "1 to 65535"},
      {"socket://h:65536", NetKind::Socket, "", 0, "1 to 65535"},
      {"socket://h:80/x", NetKind::Socket, "", 0, "1 to 65535"},
      {"socket://h:-1", NetKind::Socket, "", 0, "1 to 65535"},
      {"socket://::1:80", NetKind::Socket, "", 0, "IPv6 goes in [ ]"},
      {"socket://[::1:80", NetKind::Socket, "", 0, "unclosed ["},
      {"socket://[::1]80", NetKind::Socket, "", 0, "no port"},
  };
  for (const Name& n : names) {
    NetworkName got = parse_network_name(n.name);
    EXPECT_EQ(got.kind, n.kind) << n.name;
    if (*n.error != '\0') {
      EXPECT_NE(got.error.find(n.error), std::string::npos) << n.name << ": " << got.error;
      continue;
    }
    EXPECT_EQ(got.error, "") << n.name;
    EXPECT_EQ(got.host, n.host) << n.name;
    EXPECT_EQ(got.port, n.port) << n.name;
  }
}

}  // namespace
}  // namespace dravel::platform
