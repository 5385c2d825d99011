// A network server that stops reading holds a write as a slow UART does: the keys stay live
// (ESC cuts the write and drops what is queued of it), and a write that makes no progress for
// the stall limit is a lost device, with its reason.
#include <gtest/gtest.h>

#include <string>

#include "link/block_protocol.h"
#include "platform/net_serial.h"
#include "support/fake_socket.h"
#include "support/rig.h"
#include "support/wire.h"

namespace dravel::test {
namespace {

// The whole program's state over a network port whose server reads nothing.
struct NetRig {
  FakeConsole console;
  ManualClock clock;
  FakeIdle idle{clock};
  FakeShell shell;
  RealFiles files;
  FakeSocket sock;
  platform::NetSerial net{sock};
  platform::Platform io{net, console, clock, shell, files, idle};
  State state{io};
  Link& link = state.link;
  NetRig() {
    link_open(link, "socket://h:1", 115200);
    console.screen.clear();
    sock.reads = false;
    idle.on_room = [this] { net.send_queued(); };  // what a wake on room does
  }
};

TEST(NetHeldWrites, EscWhileTheServerReadsNothingEndsTheProgramAndDropsTheQueue) {
  NetRig r;
  r.sock.inbound = {'Y', 'Y', 'Y'};  // it answers, blindly
  r.idle.on_wait = [&r] {
    if (r.idle.room_waits == 3) r.console.type("\x1b");
  };
  const std::string data(3 * 2048, 'x');
  const int status = exit_status_of(
      [&] { send_packets(r.link, reinterpret_cast<const std::uint8_t*>(data.data()), 3 * 2048); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(r.console.screen, "\nTerminate by user!\n");
  EXPECT_TRUE(r.sock.sent.empty());
  EXPECT_FALSE(r.sock.is_open());
  EXPECT_EQ(r.sock.clock, 0);  // dropped, so the close had nothing to wait for
}

TEST(NetHeldWrites, AServerThatTakesNothingForTheStallLimitIsALostDevice) {
  NetRig r;
  const std::uint8_t frame[20] = {};
  EXPECT_TRUE(r.link.port.write(frame, sizeof frame));  // queued: the socket has room later
  const std::int64_t start = r.clock.ms;
  EXPECT_FALSE(r.link.port.write(frame, sizeof frame));
  EXPECT_TRUE(r.link.port.lost());
  EXPECT_EQ(r.link.port.lost_reason(), "output no longer drains (the far end takes nothing)");
  EXPECT_GE(r.clock.ms - start, SerialPort::STALL_LIMIT_MS);
  EXPECT_LE(r.clock.ms - start, SerialPort::STALL_LIMIT_MS + FakeIdle::STEP_MS);
}

}  // namespace
}  // namespace dravel::test
