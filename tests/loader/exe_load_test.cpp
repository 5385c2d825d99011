#include "loader/exe_load.h"

#include <gtest/gtest.h>

#include "link/block_protocol.h"
#include "link/handshake.h"
#include "loader/binary_file.h"
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
  int load(const std::string& text) {
    std::string t = text;
    return load_command(rig.s(), t.data());
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
  EXPECT_EQ(load(f), 0);

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
  EXPECT_FALSE(rig.s().prompt_seen);
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
    EXPECT_EQ(load("-s " + f), 0);
    EXPECT_EQ(reg("sp"), c.sp) << std::hex << c.base << "+" << c.size;
  }
  EXPECT_EQ(rig.console.screen, "");  // quiet
}

TEST_F(ExeLoad, LargeImageGoesInBufferSizedChunks) {
  ExeLayout e;
  e.image = pattern(0x9000);
  std::string f = dir.write("big.exe", make_exe(e));
  EXPECT_EQ(load(f), 0);
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
  EXPECT_EQ(load(f), 0);
  EXPECT_EQ(rig.serial.wire_out, "bwr\r" + transfer_header(0x80010000, 0) + "\r" +
                                     register_commands(0x80020000, 0, DEFAULT_STACK_POINTER));
  EXPECT_NE(rig.console.screen.find("address:80010000-8000ffff size:000000  \r\n"),
            std::string::npos);
}

TEST_F(ExeLoad, ShortHeaderFailsAndLeavesTheMonitorInBinaryMode) {
  std::string f = dir.write("short.exe", "KV-R EXE" + std::string(100, '\0'));
  EXPECT_EQ(load(f), -1);
  EXPECT_EQ(rig.console.screen, "\"" + f + "\" header read error\n");
  EXPECT_EQ(rig.serial.wire_out, "bwr\r");
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
    EXPECT_EQ(load(f), -1);
    EXPECT_EQ(rig.serial.wire_out, "bwr\r\r");  // into binary mode and straight out again
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
  rig.s().abort_flag = true;
  EXPECT_EQ(load(f), -1);
  EXPECT_TRUE(rig.s().abort_flag);
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
  EXPECT_EQ(load("-s " + fa + " " + fb), 0);
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
  enter_binary_write(rig.s());
  send_transfer_header(rig.s(), 0x80010000, 0x4800);
  EXPECT_EQ(send_image_data(rig.s(), file.get(), f.c_str(), 0x4800, 0, 0), -1);
  leave_binary(rig.s());
  EXPECT_EQ(sim.monitor.mode(), sim::Mode::command);
  EXPECT_EQ(memory(0x80010000, 0x100), pattern(0x100));
  EXPECT_EQ(memory(0x80010100, 0x4700), std::string(0x4700, '\0'));
  EXPECT_EQ(rig.console.screen,
            "\"" + f + "\" read error: data ended early, sent zeros in its place\n\r");
}

}  // namespace
}  // namespace dravel::test
