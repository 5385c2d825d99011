// Writes to a network port take what fits and queue the rest: however little the socket takes
// at a time, the same bytes reach the server in the same order, telnet commands whole.
#include <gtest/gtest.h>

#include <string>

#include "platform/net_serial.h"
#include "support/fake_socket.h"

namespace dravel::platform {
namespace {

using namespace telnet;
using test::Bytes;
using test::FakeSocket;

Bytes set_control(std::uint8_t value) {
  return {IAC, SB, COM_PORT, SET_CONTROL, value, IAC, SE};
}

// Opens `name` on an agreeable server that then says nothing more, and takes `k` bytes a send.
struct Line {
  FakeSocket sock;
  NetSerial net{sock};
  Line(const char* name, std::size_t k) {
    sock.serve = [](const Bytes& s, Bytes& r) { test::agreeable(s, r); };
    EXPECT_TRUE(net.open(name, 115200).ok);
    sock.serve = [](const Bytes&, Bytes&) {};
    sock.sent.clear();
    sock.takes_per_call = k;
  }
  // Writes all of `data`, giving the queue room whenever a write finds none; those times.
  int write_all(const Bytes& data) {
    int no_room = 0;
    for (std::size_t done = 0; done < data.size();) {
      const long took = net.write(data.data() + done, data.size() - done);
      EXPECT_GE(took, 0) << net.failure();
      if (took <= 0) {
        ++no_room;
        net.send_queued();
      }
      done += took > 0 ? static_cast<std::size_t>(took) : 0;
    }
    return no_room;
  }
  void request_from_server() {
    sock.inbound = {IAC, DO, 99};
    net.take_input();
  }
};

TEST(NetSerialWrite, TheWireIsTheSameHoweverLittleTheSocketTakesAtATime) {
  Bytes first(5000), second(300);
  for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<std::uint8_t>(i * 7);
  for (std::size_t i = 0; i < second.size(); ++i) second[i] = i % 3 == 0 ? 0xFF : '\r';
  auto escaped = [](const Bytes& data) {
    Bytes out;
    for (std::uint8_t b : data) {
      out.push_back(b);
      if (b == IAC) out.push_back(IAC);
    }
    return out;
  };
  for (const char* name : {"rfc2217://h:1", "socket://h:1"}) {
    const bool telnet = name[0] == 'r';
    Bytes expected = telnet ? escaped(first) : first;
    if (telnet) {
      for (const Bytes& part : {Bytes{IAC, WONT, 99}, set_control(5), escaped(second),
                                Bytes{IAC, WONT, 99}, set_control(6)})
        expected.insert(expected.end(), part.begin(), part.end());
    } else {
      expected.insert(expected.end(), second.begin(), second.end());
    }
    for (std::size_t k : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                          std::size_t{1000}, SIZE_MAX}) {
      SCOPED_TRACE(std::string(name) + " k=" + std::to_string(k));
      Line line(name, k);
      int no_room = line.write_all(first);
      // Between writes, while data still waits: an answer and a BREAK go behind it.
      if (telnet) {
        line.request_from_server();
        EXPECT_TRUE(line.net.set_control(Control::BreakOn).ok);
      }
      no_room += line.write_all(second);
      if (telnet) {
        line.request_from_server();
        EXPECT_TRUE(line.net.set_control(Control::BreakOff).ok);
      }
      while (line.net.output_queued()) line.net.send_queued();
      EXPECT_EQ(line.sock.sent, expected);
      EXPECT_EQ(no_room > 0, k != SIZE_MAX);
    }
  }
}

// ESC in a held write drops what is queued of it, but the server is left between telnet
// commands: a doubled 0xFF half sent is completed, a SET-CONTROL queued behind still goes.
TEST(NetSerialWrite, DroppedOutputLeavesNoTelnetSequenceHalfSent) {
  struct Case {
    const char* name;
    std::size_t k;  // what the socket took before it stopped reading
    Bytes wire;     // what the server got in the end
  };
  const Bytes dtr = set_control(8);
  auto then_dtr = [&](Bytes b) {
    b.insert(b.end(), dtr.begin(), dtr.end());
    return b;
  };
  const Case cases[] = {
      {"rfc2217://h:1", 1, then_dtr({'a'})},
      {"rfc2217://h:1", 2, then_dtr({'a', IAC, IAC})},
      {"rfc2217://h:1", 3, then_dtr({'a', IAC, IAC})},
      {"rfc2217://h:1", 4, then_dtr({'a', IAC, IAC, 'b'})},
      {"rfc2217://h:1", 5, then_dtr({'a', IAC, IAC, 'b', IAC, IAC})},
      {"socket://h:1", 2, {'a', 0xFF}},
  };
  const Bytes data = {'a', 0xFF, 'b', 0xFF, 'c'};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " k=" + std::to_string(c.k));
    Line line(c.name, c.k);
    EXPECT_EQ(line.net.write(data.data(), data.size()), 5);
    line.sock.reads = false;
    line.net.set_control(Control::DtrOn);  // refused on socket://, queued on rfc2217://
    line.net.discard_output();
    line.sock.reads = true;
    line.sock.takes_per_call = SIZE_MAX;
    line.net.close();
    EXPECT_EQ(line.sock.sent, c.wire);
  }
}

// What is queued at a close goes out if the server takes it, else costs a bounded while.
TEST(NetSerialWrite, ACloseGivesWhatIsQueuedABoundedWhile) {
  for (bool reads : {true, false}) {
    Line line("socket://h:1", 0);
    const std::uint8_t x = 'x';
    EXPECT_EQ(line.net.write(&x, 1), 1);
    line.sock.reads = reads;
    line.sock.takes_per_call = SIZE_MAX;
    line.net.close();
    EXPECT_EQ(line.sock.sent, reads ? Bytes{'x'} : Bytes{});
    EXPECT_EQ(line.sock.clock, reads ? 0 : NetSerial::CLOSE_DRAIN_MS);
  }
}

}  // namespace
}  // namespace dravel::platform
