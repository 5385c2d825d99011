#include "loader/dload_dsave.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/program_exit.h"
#include "link/block_protocol.h"
#include "loader/load_command.h"
#include "support/rig.h"
#include "terminal/auto_script.h"
#include "terminal/command_table.h"

namespace dravel::test {
namespace {

std::string image(std::size_t n, unsigned seed) {
  std::string out(n, '\0');
  unsigned x = seed;
  for (char& c : out) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return out;
}

std::string header(std::uint32_t address, std::uint32_t count) {
  std::string h = "\x01";
  for (std::uint32_t v : {address, count})
    for (int shift = 24; shift >= 0; shift -= 8) h += static_cast<char>(v >> shift);
  return h;
}

std::size_t count_of(const std::string& haystack, const std::string& needle) {
  std::size_t n = 0;
  for (std::size_t at = haystack.find(needle); at != std::string::npos;
       at = haystack.find(needle, at + 1))
    ++n;
  return n;
}

// Against the simulated monitor.
struct DloadDsave : ::testing::Test {
  SimPeer sim;
  Rig rig{sim};
  TempDir dir;
  void SetUp() override {
    rig.s().history_path = dir.file("his");
    rig.open_port();
  }
  sim::Monitor& monitor() { return sim.monitor; }
  Outcome dload(std::string text) { return rig.shown(dload_command(rig.s().link, text.data())); }
  Outcome dsave(std::string text) { return rig.shown(dsave_command(rig.s().link, text.data())); }
  std::string target(std::uint32_t address, std::size_t n) {
    std::vector<std::uint8_t> m = monitor().memory().read(address, n);
    return std::string(m.begin(), m.end());
  }
};

TEST_F(DloadDsave, DloadArgumentErrorsSendNothing) {
  std::string a = dir.write("a", "abc");
  EXPECT_EQ(dload(a), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), "\"" + a + "\" file address missing\n");
  EXPECT_EQ(dload(a + " 1000 " + a + "  xyz"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), "\"" + a + "\" file address missing\n");
  EXPECT_EQ(dload(" \t "), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(), "");
  // Every file is opened before the monitor is put into binary mode.
  std::string missing = dir.file("missing");
  EXPECT_EQ(dload(a + " 80010000 " + missing + " 80020000"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(),
            "Can't open \"" + missing + "\": No such file or directory\n\r");
  EXPECT_EQ(dload(dir.path() + " 80010000"), Outcome::Failed);  // a directory is no image
  EXPECT_EQ(rig.serial.wire_out, "");
}

TEST_F(DloadDsave, DloadAddressPast32BitsIsRefusedNotCut) {
  std::string a = dir.write("a", "abc");
  for (const char* address : {"180010000", "ffffffffffffffffffff"}) {
    EXPECT_EQ(dload(a + " " + address), Outcome::Failed) << address;
    EXPECT_EQ(rig.console.take_screen(), "\"" + a + "\" file address missing\n");
  }
  EXPECT_EQ(rig.serial.wire_out, "");
}

TEST_F(DloadDsave, DloadOf0x4001BytesLandsExactlyDespiteARejectedPacket) {
  std::string data = image(0x4001, 1);
  std::string f = dir.write("big.bin", data);
  monitor().memory().write(0x80010000 + 0x4001, reinterpret_cast<const std::uint8_t*>("\x5a"), 1);
  monitor().faults().nak_host_packet = 3;
  EXPECT_EQ(dload("  " + f + "\t80010000"), Outcome::Done);
  EXPECT_EQ(target(0x80010000, 0x4002), data + "\x5a");  // padding stays off the target
  std::string bs(16, '\b');
  EXPECT_EQ(rig.console.screen, "dload [" + f + "]\n" + f +
                                    "  address:80010000-80014000 size:004001  "
                                    "004000:    0sec." +
                                    bs + "004001:    0sec." + bs + "\r\n");
  const std::string& wire = rig.serial.wire_out;
  EXPECT_EQ(wire.substr(0, 4 + 9), "bwr\r" + header(0x80010000, 0x4001));
  EXPECT_EQ(wire.size(), 4 + 9 + 10 * 2050 + 1u);  // 9 packets and the resend
  EXPECT_EQ(wire.back(), '\r');
}

TEST_F(DloadDsave, DloadSendsPairsInOrderInOneBracketAndAtMostTwenty) {
  std::string cmd;
  for (int i = 0; i < 21; ++i) {
    std::string f = dir.write("f" + std::to_string(i), std::string(3, static_cast<char>('a' + i)));
    cmd += f + " " + std::to_string(80010000 + i * 10) + "  ";
  }
  EXPECT_EQ(dload(cmd), Outcome::Done);
  EXPECT_EQ(target(0x80010000, 3), "aaa");
  EXPECT_EQ(target(0x80010190, 3), "ttt");
  EXPECT_EQ(target(0x80010200, 3), std::string(3, '\0'));  // the 21st
  EXPECT_EQ(count_of(rig.console.screen, "dload ["), 20u);
  EXPECT_EQ(count_of(rig.serial.wire_out, "bwr\r"), 1u);
  EXPECT_EQ(rig.serial.wire_out.find(header(0x80010010, 3)),
            4 + 9 + 2050u);  // the second file follows the first
}

TEST_F(DloadDsave, EmptyFileSendsAHeaderOfZeroAndNoPacket) {
  std::string f = dir.write("empty", "");
  EXPECT_EQ(dload(f + " 1000"), Outcome::Done);
  EXPECT_NE(rig.console.screen.find("address:00001000-00000fff size:000000  \r\n"),
            std::string::npos);
  EXPECT_EQ(rig.serial.wire_out, "bwr\r" + header(0x1000, 0) + "\r");
}

TEST_F(DloadDsave, DsaveOf0x8000BytesMatchesTheTargetDespiteACorruptPacket) {
  std::string data = image(0x8000, 2);
  monitor().memory().write(0x80020000, reinterpret_cast<const std::uint8_t*>(data.data()),
                           data.size());
  monitor().faults().corrupt_sent_packet = 3;
  std::string out = dir.file("out.bin");
  EXPECT_EQ(dsave("  " + out + "  80020000 8000 extra"), Outcome::Done);
  EXPECT_EQ(TempDir::read(out), data);
  EXPECT_EQ(rig.console.screen, "DSAVE " + out + " 80020000 0/8000\n" + "DSAVE " + out +
                                    " 80024000 4000/8000\n0(sec)\n");
  EXPECT_EQ(count_of(rig.serial.wire_out, "N"), 1u);
  EXPECT_EQ(rig.serial.wire_out.substr(rig.serial.wire_out.size() - 2), "\r\r");
}

// A byte the line lost leaves the host one short of a packet while the monitor, its packet
// sent, waits for the answer: the silence makes it a bad packet, asked for again. Without
// that both sides wait for ever (the soak once stalled so, in a dsave's first block).
TEST(DsaveLostByte, APacketThatStopsShortIsAskedForAgain) {
  for (std::uint64_t packet : {1u, 5u}) {
    SCOPED_TRACE(packet);
    SimPeer sim;
    Rig rig{sim};
    TempDir dir;
    rig.s().history_path = dir.file("his");
    rig.open_port();
    std::string data = image(0x8000, 3);
    sim.monitor.memory().write(0x80020000, reinterpret_cast<const std::uint8_t*>(data.data()),
                               data.size());
    sim.monitor.faults().lose_byte_of_sent_packet = packet;
    std::string out = dir.file("out.bin");
    std::string args = out + " 80020000 8000";
    EXPECT_EQ(rig.shown(dsave_command(rig.s().link, args.data())), Outcome::Done);
    EXPECT_EQ(TempDir::read(out), data);
    EXPECT_EQ(count_of(rig.serial.wire_out, "N"), 1u);
  }
}

// A packet spoilt every time (rejected on the way in, corrupted on the way out) ends the
// transfer after PACKET_TRIES tries with a message; the monitor is back at its prompt and the
// command fails, which stops a script like any failing local command.
TEST_F(DloadDsave, APacketBadEveryTimeEndsTheTransferAndTheScript) {
  std::string in = dir.write("in.bin", image(0x3000, 5)), out = dir.file("out.bin");
  const std::string coff = std::string(DRAVEL_FIXTURES) + "/loader/hello.coff";
  struct Case {
    std::string line;  // a local command line
    bool spoil_read;   // corrupt what the monitor sends, else reject what it gets
  };
  const Case cases[] = {{"dload " + in + " 80010000", false},
                        {"dsave " + out + " 80010000 3000", true},
                        {"load " + coff, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    monitor().faults().nak_per_mille = c.spoil_read ? 0 : 1000;
    monitor().faults().corrupt_per_mille = c.spoil_read ? 1000 : 0;
    const std::uint64_t before =
        monitor().binary().host_packets() + monitor().binary().sent_packets();
    std::string script = dir.write("s.scr", "local " + c.line + "\nlocal echo after\n");
    ASSERT_EQ(rig.shown(auto_start(rig.s(), script.data())), Outcome::Done);
    ASSERT_TRUE(rig.pass_until([&] { return !rig.s().autos.active(); }, 10000));
    const std::string screen = rig.console.take_screen();
    EXPECT_EQ(count_of(screen, "transfer stopped: a packet went bad 16 times in a row\n\r"), 1u)
        << screen;
    EXPECT_NE(screen.find("auto commands all stop"), std::string::npos);
    EXPECT_EQ(screen.find("after"), std::string::npos);
    EXPECT_EQ(monitor().binary().host_packets() + monitor().binary().sent_packets() - before,
              static_cast<std::uint64_t>(PACKET_TRIES));
    EXPECT_EQ(monitor().mode(), sim::Mode::command);
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

// A seeded share of spoilt packets costs retries, never data.
TEST_F(DloadDsave, SeededRejectionsAndCorruptionsStillMoveEveryByte) {
  std::string data = image(0x9000, 6);
  std::string in = dir.write("in.bin", data), out = dir.file("out.bin");
  monitor().faults().nak_per_mille = 300;
  monitor().faults().corrupt_per_mille = 300;
  monitor().faults().fault_seed = 7;
  EXPECT_EQ(dload(in + " 80010000"), Outcome::Done);
  EXPECT_EQ(target(0x80010000, data.size()), data);
  EXPECT_EQ(dsave(out + " 80010000 9000"), Outcome::Done);
  EXPECT_EQ(TempDir::read(out), data);
  EXPECT_GT(monitor().binary().faulted_packets(), 2u);
}

TEST_F(DloadDsave, DsaveReadsWholeBlocksButWritesOnlyTheSize) {
  std::string data = image(0x4000, 3);
  monitor().memory().write(0x80030000, reinterpret_cast<const std::uint8_t*>(data.data()),
                           data.size());
  std::string out = dir.file("part.bin");
  rig.s().link.prompt_seen = true;  // a script then waits for the prompt after the transfer
  EXPECT_EQ(dsave(out + " 80030000 100"), Outcome::Done);
  EXPECT_FALSE(rig.s().link.prompt_seen);
  EXPECT_EQ(TempDir::read(out), data.substr(0, 0x100));
  EXPECT_EQ(rig.serial.wire_out.substr(0, 4 + 9), "brd\r" + header(0x80030000, 0x4000));
  EXPECT_EQ(count_of(rig.serial.wire_out, "\x02Y"), 8u);
}

TEST_F(DloadDsave, DsaveOfZeroOrNegativeSizeLeavesAnEmptyFileAndBinaryMode) {
  for (const char* size : {"0", "80000000"}) {
    rig.serial.wire_out.clear();
    std::string out = dir.write("z", "old");
    EXPECT_EQ(dsave(out + " 80030000 " + size), Outcome::Done);
    EXPECT_EQ(TempDir::read(out), "");
    EXPECT_EQ(rig.serial.wire_out, "brd\r\r\r");
    EXPECT_EQ(monitor().mode(), sim::Mode::command);
  }
}

TEST_F(DloadDsave, DsaveBadArgumentsOrUncreatableFileSendNothing) {
  std::string out = dir.file("never");
  for (const std::string& args : {out + " 100", out + " 80zz 100", out + " 100 -1",
                                  out + " 100 123456789", std::string("  ")}) {
    EXPECT_EQ(dsave(args), Outcome::Failed) << args;
    EXPECT_EQ(rig.console.take_screen(), "filename adr size\n") << args;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
  std::string bad = dir.file("no/such/dir");
  EXPECT_EQ(dsave(bad + " 100 100"), Outcome::Failed);
  EXPECT_EQ(rig.console.take_screen(),
            "Can't create \"" + bad + "\": No such file or directory\n\r");
  EXPECT_EQ(rig.serial.wire_out, "");
}

#if !defined(_WIN32)
TEST_F(DloadDsave, DsaveOnAFullDiskSaysSoAndLeavesBinaryMode) {
  // A device node of the test's own, the one /dev/full is: a device is written in place, and a
  // fault in that rule replaces only this node.
  const std::string full = dir.file("full");
  if (::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
  EXPECT_EQ(dsave(full + " 80030000 8000"), Outcome::Failed);
  EXPECT_NE(rig.console.screen.find("Can't write \"" + full + "\": No space left on device\n\r"),
            std::string::npos)
      << rig.console.screen;
  EXPECT_TRUE(std::filesystem::is_character_file(full));
  EXPECT_EQ(monitor().mode(), sim::Mode::command);
}

// The name is a link someone planted: it is replaced by the dump, the file it named stays.
// A read-only file keeps its mode, and for anyone but the superuser its contents.
TEST_F(DloadDsave, DsaveReplacesAPlantedLinkAndRespectsAReadOnlyFile) {
  std::string data = image(0x100, 5);
  monitor().memory().write(0x80030000, reinterpret_cast<const std::uint8_t*>(data.data()),
                           data.size());
  std::string victim = dir.write("victim", "keep");
  std::string out = dir.file("out.bin");
  ASSERT_EQ(::symlink(victim.c_str(), out.c_str()), 0);
  EXPECT_EQ(dsave(out + " 80030000 100"), Outcome::Done);
  EXPECT_EQ(TempDir::read(victim), "keep");
  EXPECT_FALSE(std::filesystem::is_symlink(out));
  EXPECT_EQ(TempDir::read(out), data);

  std::string ro = dir.write("ro.bin", "old");
  ASSERT_EQ(::chmod(ro.c_str(), 0440), 0);
  const bool root = ::geteuid() == 0;
  EXPECT_EQ(dsave(ro + " 80030000 100"), root ? Outcome::Done : Outcome::Failed);
  EXPECT_EQ(TempDir::read(ro), root ? data : "old");
  struct stat st {};
  ASSERT_EQ(::stat(ro.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0440u);
}
#endif

TEST_F(DloadDsave, KeyHandlersPromptAndLogTheCommandAsAScriptLine) {
  std::string f = dir.write("k", "xyz");
  ASSERT_TRUE(rig.s().log_file.open(dir.file("log").c_str(), "w"));
  rig.console.type(f + " 80010000\r");
  EXPECT_EQ(dispatch_key(rig.s(), key::F4, PREFIX_F9), Outcome::Done);
  rig.console.type("\r");
  EXPECT_EQ(dispatch_key(rig.s(), key::F4, PREFIX_F10), Outcome::Failed);
  rig.s().log_file.close();
  EXPECT_EQ(TempDir::read(dir.file("log")), "local dload " + f + " 80010000\nlocal dsave \n");
  EXPECT_NE(rig.console.screen.find("\x1b[32mDload[1]:\x1b[0m "), std::string::npos);
  EXPECT_NE(rig.console.screen.find("\x1b[32mDsave[2]:\x1b[0m "), std::string::npos);
  EXPECT_EQ(target(0x80010000, 3), "xyz");
}

// A file that shrinks once its size has gone out in the header.
TEST(DloadShortFile, MissingBytesGoOutAsZerosAndTheCommandFails) {
  ScriptedPeer peer;
  Rig rig{peer};
  TempDir dir;
  rig.open_port();
  std::string data = image(0x5000, 4);
  std::string f = dir.write("shrinks", data);
  peer.on_write = [&](ScriptedPeer& p, const std::uint8_t*, std::size_t) {
    if (p.received == "bwr\r") p.say("binary\r");
    if (p.received.size() == 4 + 9) std::filesystem::resize_file(f, 0x100);
    if (p.received.size() > 4 + 9 && (p.received.size() - 4 - 9) % 2050 == 0) p.say("Y");
    if (p.received.size() == 4 + 9 + 10 * 2050 + 1) p.say("end binary\r");
  };
  std::string cmd = f + " 80010000";
  EXPECT_EQ(rig.shown(dload_command(rig.s().link, cmd.data())), Outcome::Failed);
  std::string expect_payload = data.substr(0, 0x100) + std::string(0x5000 - 0x100, '\0');
  std::string sent;
  for (std::size_t at = 4 + 9; at + 2050 <= peer.received.size(); at += 2050)
    sent += peer.received.substr(at + 1, 2048);
  EXPECT_EQ(sent, expect_payload);
  EXPECT_NE(rig.console.screen.find("\"" + f +
                                    "\": only 000100 of 005000 bytes could be read "
                                    "(file shortened); the rest was sent as zeros\n\r"),
            std::string::npos);
  // Binary mode is left, as on every other way a transfer ends.
  EXPECT_EQ(peer.received.size(), 4 + 9 + 10 * 2050u + 1);
  EXPECT_EQ(peer.received.back(), '\r');
}

}  // namespace
}  // namespace dravel::test
