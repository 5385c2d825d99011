// A serial device that goes away and comes back, against the terminal loop and every wait.
#include "link/link_loss.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/program_exit.h"
#include "loader/dload_dsave.h"
#include "loader/loader_support.h"
#include "support/rig.h"
#include "support/wire.h"
#include "terminal/program_watchers.h"
#include "watch/watchers.h"

namespace dravel::test {
namespace {

bool shows(Rig& rig, const std::string& needle) {
  return rig.console.screen.find(needle) != std::string::npos;
}

TEST(LinkLoss, IdleLineSaysSoOnceKeepsTheKeysAndReopensTheSameDeviceAtTheSameRate) {
  ScriptedPeer peer;
  Rig rig{peer};
  rig.s().options.device = "/dev/board";
  rig.s().config.baud_rate = 57600;
  rig.open_port();
  peer.say("hello");
  ASSERT_TRUE(rig.pass_until([&] { return shows(rig, "hello"); }));

  rig.serial.unplug();
  const int opens = rig.serial.opens;
  rig.console.type("x" + fkey(8));
  // Passes idle rather than spin: the clock only moves in idle waits.
  ASSERT_TRUE(rig.pass_until([&] { return rig.idle.idle_ms >= 3500; }));
  EXPECT_EQ(count_of(rig.console.screen, "\nserial device lost: Input/output error\n"), 1);
  EXPECT_TRUE(rig.s().edit_mode);  // F8 still works
  EXPECT_EQ(rig.serial.wire_out.find('x'), std::string::npos);
  // About once a second.
  EXPECT_GE(rig.serial.opens - opens, 2);
  EXPECT_LE(rig.serial.opens - opens, 4);
  EXPECT_FALSE(shows(rig, "back"));

  rig.serial.plug_in();
  ASSERT_TRUE(rig.pass_until([&] { return shows(rig, "\nserial device back: /dev/board\n"); }));
  EXPECT_EQ(rig.serial.opened_path, "/dev/board");
  EXPECT_EQ(rig.serial.opened_baud, 57600);
  rig.console.type(fkey(8) + "y");
  ASSERT_TRUE(rig.pass_until([&] { return rig.serial.wire_out.find('y') != std::string::npos; }));
  EXPECT_EQ(rig.serial.wire_out.find('x'), std::string::npos);  // typed while gone: not sent late
  peer.say("again");
  EXPECT_TRUE(rig.pass_until([&] { return shows(rig, "again"); }));

  // Lost a second time: said again, once.
  rig.serial.unplug("the line hung up");
  ASSERT_TRUE(rig.pass_until([&] { return rig.idle.idle_ms >= 6000; }));
  EXPECT_EQ(count_of(rig.console.screen, "serial device lost: "), 2);
  EXPECT_EQ(count_of(rig.console.screen, "serial device lost: the line hung up"), 1);
}

// The simulated monitor, on a line that is pulled once the host has written `budget` bytes.
struct DyingLine : SerialPeer {
  SimPeer sim;
  PeerSerial* serial = nullptr;
  std::size_t budget = 0;
  std::size_t written = 0;
  void from_host(const std::uint8_t* data, std::size_t n) override {
    std::size_t take = std::min(n, budget - std::min(budget, written));
    written += n;
    sim.from_host(data, take);
    if (written >= budget) serial->unplug();
  }
  std::size_t to_host(std::uint8_t* buf, std::size_t max) override { return sim.to_host(buf, max); }
};

// A session with the simulated monitor, prompting, on a line that can be pulled.
struct Session {
  DyingLine line;
  Rig rig{line};
  explicit Session(const TempDir& dir) {
    line.serial = &rig.serial;
    line.budget = static_cast<std::size_t>(-1);
    rig.s().history_path = dir.file("his");
    rig.open_port();
    register_program_watchers(rig.s());
    line.sim.monitor.start();
    EXPECT_TRUE(rig.pass_until([&] { return rig.s().link.prompt_seen; }));
  }
  // Runs `keys` with the line pulled after `budget` more host bytes; the command must stop
  // without waiting out any time limit, leaving nothing queued for when the device is back.
  void expect_stopped(const std::string& keys, std::size_t budget) {
    line.budget = line.written + budget;
    rig.console.type(keys);
    const std::int64_t idle_before = rig.idle.idle_ms;
    ASSERT_TRUE(rig.pass_until([&] { return shows(rig, "stopped: the serial device is gone"); }));
    EXPECT_LT(rig.idle.idle_ms - idle_before, 1000);
    EXPECT_EQ(count_of(rig.console.screen, "serial device lost: Input/output error\n"), 1);
    EXPECT_EQ(rig.s().link.tx.count, 0);
    EXPECT_FALSE(rig.s().link.port.has_unread());
    line.budget = static_cast<std::size_t>(-1);  // the board lived on: it hears the return
    rig.serial.plug_in();
    EXPECT_TRUE(rig.pass_until([&] { return shows(rig, "serial device back"); }));
  }
};

// A first open after boot may echo the board's banner back before the line goes raw: the
// board's command line is emptied before anything else is sent, at open and at reopen.
TEST(LinkLoss, AnOpenThatEchoedSendsCtrlCFirst) {
  ScriptedPeer peer;
  Rig rig{peer};
  rig.serial.echo_at_open = true;
  rig.s().options.device = "/dev/board";
  rig.open_port();
  rig.console.type("a");
  ASSERT_TRUE(rig.pass_until([&] { return rig.serial.wire_out.size() >= 2; }));
  EXPECT_EQ(rig.serial.wire_out,
            "\x03"
            "a");
  rig.serial.unplug();
  ASSERT_TRUE(rig.pass_until([&] { return shows(rig, "serial device lost"); }));
  rig.serial.plug_in();
  ASSERT_TRUE(rig.pass_until([&] { return shows(rig, "serial device back"); }));
  EXPECT_EQ(rig.serial.wire_out,
            "\x03"
            "a\x03");
}

TEST(LostMidCommand, EveryWaitOnTheBoardFailsAtOnce) {
  TempDir dir;
  std::string bin = dir.write("image.bin", std::string(0x1000, 'd'));
  std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  ExeLayout layout;
  layout.image = std::string(16, 'e');
  std::string exe = dir.write("p.exe", make_exe(layout));
  struct Case {
    const char* what;
    std::string keys;
    std::size_t budget;
  };
  const std::string dload = fkey(9) + fkey(4);
  const std::string dsave = fkey(10) + fkey(4);
  const Case cases[] = {
      {"text awaited (binary)", dload + bin + " 80010000\r", 4},
      {"packet answer", dload + bin + " 80010000\r", 4 + 9 + 100},
      {"packet from the board", dsave + dir.file("out") + " 80010000 1000\r", 4 + 9 + 1},
      {"s-record acknowledgement", fkey(4) + mot + "\r", 4 + 2 + 10},
      // header, one packet, the "\r" that leaves binary mode, then the first "sr" byte
      {"prompt before a register", fkey(4) + exe + "\r", 4 + 9 + 2050 + 1 + 1},
      {"file name from the board", "fload x\r", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session session(dir);
    session.expect_stopped(c.keys, c.budget);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
}

// A board behind a network port outlives the line: whatever the cut command left its monitor
// in, the next load is taken as a load, not as commands.
TEST(LostMidCommand, TheBoardThatLivesOnIsBroughtOutOfTheCutCommand) {
  TempDir dir;
  std::string bin = dir.write("image.bin", std::string(0x1000, 'd'));
  std::string fresh(0x1000, '\0');
  for (std::size_t i = 0; i < fresh.size(); ++i) fresh[i] = static_cast<char>(i * 13 + i / 256);
  std::string fresh_bin = dir.write("fresh.bin", fresh);
  std::string mot = std::string(DRAVEL_FIXTURES) + "/loader/hello.mot";
  const std::string dload = fkey(9) + fkey(4);
  struct Case {
    const char* what;
    std::string keys;
    std::size_t budget;
  };
  const Case cases[] = {
      {"between frames", dload + bin + " 80010000\r", 4},
      {"mid header", dload + bin + " 80010000\r", 4 + 5},
      {"mid packet", dload + bin + " 80010000\r", 4 + 9 + 100},
      {"dsave", fkey(10) + fkey(4) + dir.file("out") + " 80010000 1000\r", 4 + 9 + 1},
      {"s-records", fkey(4) + mot + "\r", 4 + 2 + 10},
      // A CR typed for a prompt, then the monitor has "he" of the script's line when the line
      // goes, and the script stops.
      {"a script's line", fkey(3) + dir.write("s.scr", "help\nlocal echo never\n") + "\r\r", 1 + 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Session session(dir);
    Rig& rig = session.rig;
    session.expect_stopped(c.keys, c.budget);
    rig.console.screen.clear();
    rig.console.type(dload + fresh_bin + " 80020000\r");
    ASSERT_TRUE(rig.pass_until([&] { return shows(rig, "001000:"); })) << rig.console.screen;
    std::vector<std::uint8_t> m = session.line.sim.monitor.memory().read(0x80020000, 0x1000);
    EXPECT_TRUE(std::string(m.begin(), m.end()) == fresh);
    EXPECT_FALSE(shows(rig, "unknown command")) << rig.console.screen;
  }
}

TEST(LostMidCommand, DsaveWritesNoIncompleteFileAndAScriptStops) {
  TempDir dir;
  Session session(dir);
  Rig& rig = session.rig;
  std::string script =
      dir.write("s.scr", "local dsave " + dir.file("out") + " 80010000 4000\nlocal echo never\n");
  // During the second packet.
  session.expect_stopped(fkey(3) + script + "\r", 4 + 9 + 1 + 1 + 1);
  EXPECT_TRUE(shows(rig, "\"" + dir.file("out") + "\" incomplete, not saved"));
  EXPECT_TRUE(shows(rig, "auto commands all stop"));
  EXPECT_FALSE(shows(rig, "never"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("out")));
}

TEST(DsaveEndedEarly, EscLeavesTheOldFileAndALinkAsTheyWere) {
  ScriptedPeer silent;  // never says "binary"
  Rig rig{silent};
  TempDir dir;
  rig.s().history_path = dir.file("his");
  rig.open_port();
  std::string out = dir.write("out", "old contents");
  rig.console.type("\x1b");
  std::string args = out + " 80010000 100";
  EXPECT_THROW(dsave_command(rig.s().link, args.data()), ProgramExit);
  EXPECT_EQ(TempDir::read(out), "old contents");
  EXPECT_TRUE(shows(rig, "\"" + out + "\" incomplete, not saved"));
  int files = 0;
  for (const auto& f : std::filesystem::directory_iterator(dir.path()))
    files += f.path() != out && f.path() != dir.file("his");
  EXPECT_EQ(files, 0) << "a temporary file left behind";

  // Through a link, the file it names stays whole.
  std::string target = dir.write("target", "kept");
  std::error_code ec;
  std::filesystem::create_symlink(target, dir.file("link"), ec);
  if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
  rig.open_port();
  rig.console.type("\x1b");
  rig.s().core.abort_flag = false;
  args = dir.file("link") + " 80010000 100";
  EXPECT_THROW(dsave_command(rig.s().link, args.data()), ProgramExit);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link")));
  EXPECT_EQ(TempDir::read(target), "kept");
}

TEST(QuitFromAScript, SendsWhatIsStillQueued) {
  SimPeer sim;
  Rig rig{sim};
  TempDir dir;
  sim.monitor.start();
  rig.env["DRAVELHIS"] = dir.file("his");
  std::string script = dir.write("s.scr", "dw 80010000 4\nlocal quit\n");
  EXPECT_EQ(rig.run({script}), 0);
  EXPECT_NE(rig.serial.wire_out.find("dw 80010000 4\r"), std::string::npos);
}

}  // namespace
}  // namespace dravel::test
