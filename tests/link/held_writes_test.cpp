// Writes the line holds (a slow UART): the keys stay live, the bytes on the wire stay the
// same, and a line that takes nothing for the stall limit counts as lost. A rate the device
// refuses ends a batch run before anything is sent.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/program_exit.h"
#include "link/block_protocol.h"
#include "link/link_loss.h"
#include "loader/dload_dsave.h"
#include "support/rig.h"
#include "support/wire.h"
#include "terminal/auto_script.h"
#include "terminal/program_watchers.h"

namespace dravel::test {
namespace {

std::string bytes_of(std::size_t n, unsigned seed) {
  std::string out(n, '\0');
  for (char& c : out) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return out;
}

struct Held {
  SimPeer sim;
  Rig rig{sim};
  TempDir dir;
  explicit Held(std::size_t room) {
    rig.s().history_path = dir.file("his");
    rig.serial.room_per_wait = room;
    sim.monitor.start();
    rig.open_port();
    register_program_watchers(rig.s());
  }
};

// The same transfers through a line that takes everything at once and through lines that take
// a few bytes per wait: the same bytes go out, the same data land.
TEST(HeldWrites, TheWireIsTheSameHoweverLittleTheLineTakesAtATime) {
  struct Kind {
    const char* name;
    std::function<std::string(Held&)> run;  // what landed, and the result
  };
  const std::string data = bytes_of(0x1801, 7);
  const Kind kinds[] = {
      {"dload with a rejected packet",
       [&](Held& h) {
         h.sim.monitor.faults().nak_host_packet = 2;
         std::string line = h.dir.write("a.bin", data) + " 80010000";
         const CommandResult r = dload_command(h.rig.s().link, line.data());
         auto m = h.sim.monitor.memory().read(0x80010000, data.size());
         return std::to_string(r.ok()) + r.reason + std::string(m.begin(), m.end());
       }},
      {"dsave with a spoilt packet",
       [&](Held& h) {
         h.sim.monitor.memory().write(
             0x80020000, reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
         h.sim.monitor.faults().corrupt_sent_packet = 2;
         std::string line = h.dir.file("out.bin") + " 80020000 1801";
         const CommandResult r = dsave_command(h.rig.s().link, line.data());
         return std::to_string(r.ok()) + r.reason + TempDir::read(h.dir.file("out.bin"));
       }},
      {"a script's lines through the loop",
       [&](Held& h) {
         std::string name = h.dir.write("s.scr", "dm 80000000 40\nlocal echo done\n");
         auto_start(h.rig.s(), name.data());
         h.rig.pass_until([&] { return h.rig.console.screen.find("done") != std::string::npos; });
         return h.rig.console.screen;
       }},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    Held whole(0);
    const std::string landed = k.run(whole);
    for (std::size_t room : {1u, 7u, 300u}) {
      SCOPED_TRACE(room);
      Held slow(room);
      EXPECT_EQ(k.run(slow), landed);
      EXPECT_EQ(slow.rig.serial.wire_out, whole.rig.serial.wire_out);
      EXPECT_GT(slow.rig.idle.room_waits, 0);
    }
  }
}

// ESC typed while the line holds a packet ends the program then, not once the packet is out.
TEST(HeldWrites, EscWhileALineHoldsAPacketEndsTheProgramThen) {
  Held h(100);
  h.rig.idle.on_wait = [&h] {
    if (h.rig.idle.room_waits == 5) h.rig.console.type("\x1b");
  };
  const std::string data(2048, 'x');
  const int status = exit_status_of([&] {
    send_packets(h.rig.s().link, reinterpret_cast<const std::uint8_t*>(data.data()), 2048);
  });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(h.rig.console.screen, "\nTerminate by user!\n");
  EXPECT_EQ(h.rig.serial.wire_out.size(), 400u);  // what four waits let through
}

// F3 stops a running script while the line still holds its line; what was queued goes on.
TEST(HeldWrites, F3StopsAScriptWhileTheLineHoldsItsLine) {
  Held h(1);
  const std::string line(200, 'a');
  std::string name = h.dir.write("s.scr", line + "\n" + line + "\n");
  auto_start(h.rig.s(), name.data());
  h.rig.idle.on_wait = [&h] {
    if (h.rig.idle.room_waits == 20) h.rig.console.type(fkey(3));
  };
  ASSERT_TRUE(h.rig.pass_until(
      [&] { return h.rig.console.screen.find("auto commands all stop") != std::string::npos; }));
  EXPECT_LT(h.rig.serial.wire_out.size(), 30u);
  EXPECT_FALSE(h.rig.s().autos.active());
}

// A line that takes nothing for the stall limit is a lost device, with the reason.
TEST(HeldWrites, ALineThatTakesNothingForTheStallLimitIsLost) {
  Held h(10);
  h.rig.idle.on_room = nullptr;  // the line never drains again
  const std::int64_t start = h.rig.clock.ms;
  const std::uint8_t frame[20] = {};
  EXPECT_FALSE(h.rig.s().link.port.write(frame, sizeof frame));
  EXPECT_TRUE(h.rig.s().link.port.lost());
  EXPECT_EQ(h.rig.s().link.port.lost_reason(),
            "output no longer drains (the far end takes nothing)");
  EXPECT_GE(h.rig.clock.ms - start, SerialPort::STALL_LIMIT_MS);
  EXPECT_LE(h.rig.clock.ms - start, SerialPort::STALL_LIMIT_MS + FakeIdle::STEP_MS);
}

// A refused rate: a batch run ends 1 before a byte is sent; interactively the warning names
// the rate the line runs at and the session goes on.
TEST(RefusedRate, EndsABatchRunBeforeAnythingIsSentAndIsNamedInteractively) {
  SimPeer sim;
  Rig rig(sim);
  TempDir dir;
  rig.serial.refused_rate_runs_at = 9600;
  EXPECT_EQ(rig.run({"--batch", dir.write("t.scr", "dm 0 10\nlocal exit 0\n")}), 1);
  EXPECT_EQ(rig.serial.wire_out, "");
  EXPECT_NE(rig.console.screen.find("refused by "), std::string::npos) << rig.console.screen;
  EXPECT_NE(rig.console.screen.find("the line runs at 9600; a batch run ends before sending"),
            std::string::npos);
  EXPECT_FALSE(rig.serial.is_open());

  Rig typed(sim);
  typed.serial.refused_rate_runs_at = 9600;
  typed.console.type("x\x1b");
  EXPECT_EQ(typed.run(), 1);  // ESC
  EXPECT_NE(typed.console.screen.find("warning: baud rate "), std::string::npos);
  EXPECT_NE(typed.console.screen.find("the line runs at 9600\n"), std::string::npos);
  EXPECT_EQ(typed.serial.wire_out, "x\x03");
}

}  // namespace
}  // namespace dravel::test
