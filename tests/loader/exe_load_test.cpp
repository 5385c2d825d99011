#include <gtest/gtest.h>

#include "link/binary_session.h"
#include "link/block_protocol.h"
#include "link/handshake.h"
#include "loader/binary_file.h"
#include "loader/dload_dsave.h"
#include "loader/image_sender.h"
#include "loader/load_command.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

struct ExeLoad : ::testing::Test {
  SimPeer sim;
  Rig rig{sim};
  TempDir dir;

  void SetUp() override { rig.open_port(); }
  Outcome load(const std::string& text) {
    std::string t = text;
    return rig.shown(load_command(rig.s().link, t.data()));
  }
  std::uint32_t reg(const char* name) { return sim.monitor.registers().get(name); }
  std::string memory(std::uint32_t address, std::size_t n) {
    std::vector<std::uint8_t> m = sim.monitor.memory().read(address, n);
    return std::string(m.begin(), m.end());
  }
};

std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

TEST_F(ExeLoad, SendsTheImageAndSetsTheStartRegisters) {
  ExeLayout e;
  e.pc = 0x80010040;
  e.gp = 0x80018000;
  e.stack_base = 0x80100000;
  e.stack_size = 0x1000;
  e.image = pattern(0x800);
  std::string f = dir.write("a.exe", make_exe(e));
  EXPECT_EQ(load(f), Outcome::Done);

  EXPECT_EQ(memory(0x80010000, 0x800), e.image);
  EXPECT_EQ(memory(0x80010800, 16), std::string(16, '\0'));  // the packet's padding is not stored
  EXPECT_EQ(reg("epc"), 0x80010040u);
  EXPECT_EQ(reg("gp"), 0x80018000u);
  EXPECT_EQ(reg("sp"), 0x80101000u);
  EXPECT_EQ(rig.serial.wire_out, "bwr\r" + transfer_header(0x80010000, 0x800) + packets(e.image) +
                                     "\r" + register_commands(0x80010040, 0x80018000, 0x80101000));
  EXPECT_EQ(rig.console.screen, f + "  address:80010000-800107ff size:000800  000800:    0sec." +
                                    std::string(16, '\b') +
                                    "\r\n  PC=80010040, GP=80018000, SP=80101000\r\n");
  EXPECT_FALSE(rig.s().link.prompt_seen);
}

TEST_F(ExeLoad, StackPointerIsTheWrappedSumOrTheDefault) {
  struct Case {
    std::uint32_t base, size, sp;
  };
  for (Case c : {Case{0, 0, DEFAULT_STACK_POINTER}, Case{0x801FFF00, 0xF0, 0x801FFFF0},
                 Case{0xFFFFFFF0, 0x10, DEFAULT_STACK_POINTER}, Case{0x80080000, 0, 0x80080000}}) {
    ExeLayout e;
    e.stack_base = c.base;
    e.stack_size = c.size;
    e.image = "abcd";
    std::string f = dir.write("s.exe", make_exe(e));
    EXPECT_EQ(load("-s " + f), Outcome::Done);
    EXPECT_EQ(reg("sp"), c.sp) << std::hex << c.base << "+" << c.size;
  }
  EXPECT_EQ(rig.console.screen, "");  // quiet
}

TEST_F(ExeLoad, LargeImageGoesInBufferSizedChunks) {
  ExeLayout e;
  e.image = pattern(0x9000);
  std::string f = dir.write("big.exe", make_exe(e));
  EXPECT_EQ(load(f), Outcome::Done);
  EXPECT_EQ(memory(0x80010000, 0x9000), e.image);
  std::string bs(16, '\b');
  EXPECT_NE(rig.console.screen.find("004000:    0sec." + bs + "008000:    0sec." + bs +
                                    "009000:    0sec." + bs + "\r\n"),
            std::string::npos);
}

TEST_F(ExeLoad, EmptyImageAnnouncesZeroBytesAndStillSetsRegisters) {
  ExeLayout e;
  e.pc = 0x80020000;
  std::string f = dir.write("empty.exe", make_exe(e));
  EXPECT_EQ(load(f), Outcome::Done);
  EXPECT_EQ(rig.serial.wire_out, "bwr\r" + transfer_header(0x80010000, 0) + "\r" +
                                     register_commands(0x80020000, 0, DEFAULT_STACK_POINTER));
  EXPECT_NE(rig.console.screen.find("address:80010000-8000ffff size:000000  \r\n"),
            std::string::npos);
}

// The whole file is read and checked before anything goes to the board.
TEST_F(ExeLoad, ShortHeaderFailsBeforeAnythingIsSent) {
  std::string f = dir.write("short.exe", "KV-R EXE" + std::string(100, '\0'));
  EXPECT_EQ(load(f), Outcome::Failed);
  EXPECT_EQ(rig.console.screen, "\"" + f + "\" header read error\n");
  EXPECT_EQ(rig.serial.wire_out, "");
}

// Past 4 GiB the board's address would wrap to 0: every format and dload refuse it first.
TEST_F(ExeLoad, APiecePastFourGibIsRefusedBeforeAnythingIsSent) {
  ExeLayout e;
  e.address = 0xFFFFFF00u;
  e.image = pattern(0x200);
  std::string f = dir.write("high.exe", make_exe(e));
  EXPECT_EQ(load(f), Outcome::Failed);
  std::string g = dir.write("high.bin", pattern(0x20));
  std::string cmd = g + " fffffff0";
  EXPECT_EQ(rig.shown(dload_command(rig.s().link, cmd.data())), Outcome::Failed);
  EXPECT_EQ(rig.serial.wire_out, "");
  EXPECT_EQ(rig.console.screen,
            "\"" + f + "\" runs past the end of memory: address ffffff00 size 000200\n\r" + "\"" +
                g + "\" runs past the end of memory: address fffffff0 size 000020\n\r");
}

TEST_F(ExeLoad, ImageShorterThanItsHeaderSaysIsRefusedBeforeAnyData) {
  ExeLayout e;
  e.image = pattern(0x100);
  e.size = 0x200;
  std::string cut = dir.write("cut.exe", make_exe(e));
  // A header that ends before offset 2048 has no image at all.
  std::string headless = dir.write("headless.exe", make_exe(e).substr(0, 1000));
  for (const std::string& f : {cut, headless}) {
    rig.serial.wire_out.clear();
    rig.console.take_screen();
    EXPECT_EQ(load(f), Outcome::Failed);
    EXPECT_EQ(rig.serial.wire_out, "");  // refused before binary mode
    EXPECT_EQ(sim.monitor.mode(), sim::Mode::command);
    std::string screen = rig.console.take_screen();
    EXPECT_EQ(screen.rfind("\"" + f + "\" ends early: ", 0), 0u) << screen;
  }
  EXPECT_EQ(reg("epc"), 0u);
}

TEST_F(ExeLoad, AbortFlagSkipsTheDataAndTheRegisters) {
  ExeLayout e;
  e.image = pattern(0x10);
  std::string f = dir.write("a.exe", make_exe(e));
  rig.s().core.abort_flag = true;
  EXPECT_EQ(load(f), Outcome::Failed);
  EXPECT_TRUE(rig.s().core.abort_flag);
  EXPECT_EQ(rig.serial.wire_out, "bwr\r" + transfer_header(0x80010000, 0x10) + "\r");
  EXPECT_EQ(reg("epc"), 0u);
}

TEST_F(ExeLoad, SeveralExecutablesLeaveTheLastOnesRegisters) {
  ExeLayout a, b;
  a.pc = 0x80010010;
  a.image = "aaaa";
  b.pc = 0x80020020;
  b.address = 0x80020000;
  b.image = "bbbb";
  std::string fa = dir.write("a.exe", make_exe(a));
  std::string fb = dir.write("b.exe", make_exe(b));
  EXPECT_EQ(load("-s " + fa + " " + fb), Outcome::Done);
  EXPECT_EQ(reg("epc"), 0x80020020u);
  EXPECT_EQ(memory(0x80010000, 4), "aaaa");
  EXPECT_EQ(memory(0x80020000, 4), "bbbb");
}

TEST_F(ExeLoad, DataEndingEarlyDuringTheTransferIsPaddedSoTheTargetCompletes) {
  // The size checks before the header make this rare (a file cut while it is read), but
  // the loop must still end and leave the target's transfer whole.
  std::string f = dir.write("cut.bin", pattern(0x100));
  for (std::uint32_t a = 0x80010100; a < 0x80014800; ++a) sim.monitor.memory().write_byte(a, 0xA5);
  BinaryFile file = open_binary(f.c_str());
  {
    BinarySession session(rig.s().link, BinaryDirection::ToBoard);
    send_transfer_header(rig.s().link, 0x80010000, 0x4800);
    const PieceSent sent =
        send_piece_data(rig.s().link, file.get(), 0x4800, TransferProgress{rig.s().link, false, 0});
    EXPECT_TRUE(sent.ran_short);
    EXPECT_EQ(sent.read, 0x100u);
  }
  EXPECT_EQ(sim.monitor.mode(), sim::Mode::command);
  EXPECT_EQ(memory(0x80010000, 0x100), pattern(0x100));
  EXPECT_EQ(memory(0x80010100, 0x4700), std::string(0x4700, '\0'));
}

}  // namespace
}  // namespace dravel::test
