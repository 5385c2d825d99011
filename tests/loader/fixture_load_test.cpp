// Loads of files made by a real MIPS toolchain (tests/fixtures/loader/make_fixtures.sh).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "loader/load_command.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

const std::string FIXTURES = std::string(DRAVEL_FIXTURES) + "/loader/";
constexpr std::uint32_t WINDOW_START = 0x8000FF00;
constexpr std::uint32_t WINDOW_END = 0x80010400;
constexpr std::uint8_t FILL = 0xA5;

struct Expect {
  std::uint32_t entry = 0, gp = 0;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> zero;  // address, size
};

Expect read_expect(const std::string& name) {
  Expect e;
  std::istringstream in(TempDir::read(FIXTURES + name));
  std::string key, a, b;
  while (in >> key >> a) {
    std::uint32_t v = static_cast<std::uint32_t>(std::stoul(a, nullptr, 16));
    if (key == "entry") e.entry = v;
    if (key == "gp") e.gp = v;
    if (key == "zero" && in >> b)
      e.zero.emplace_back(v, static_cast<std::uint32_t>(std::stoul(b, nullptr, 16)));
  }
  return e;
}

// ld's default link puts the file's headers here; none of it is for the board.
constexpr std::uint32_t HEADER_SEGMENT = 0x00400000;
constexpr std::uint32_t HEADER_SEGMENT_SIZE = 0x200;

struct FixtureLoad : ::testing::Test {
  SimPeer sim;
  Rig rig{sim};
  Expect expect = read_expect("hello.expect");
  std::map<std::uint32_t, std::uint8_t> image = srec_image(TempDir::read(FIXTURES + "hello.mot"));

  void SetUp() override {
    rig.open_port();
    // Memory around the program starts out filled, so any stray write shows.
    for (std::uint32_t a = WINDOW_START; a < WINDOW_END; ++a)
      sim.monitor.memory().write_byte(a, FILL);
    for (std::uint32_t a = HEADER_SEGMENT; a < HEADER_SEGMENT + HEADER_SEGMENT_SIZE; ++a)
      sim.monitor.memory().write_byte(a, FILL);
  }
  // The program of ld's default link, as its S-records of the program's sections hold it.
  void use_default_link() {
    expect = read_expect("hello_default.expect");
    image = srec_image(TempDir::read(FIXTURES + "hello_default.mot"));
  }
  void expect_header_segment_untouched() {
    for (std::uint32_t a = HEADER_SEGMENT; a < HEADER_SEGMENT + HEADER_SEGMENT_SIZE; ++a)
      ASSERT_EQ(sim.monitor.memory().read_byte(a), FILL) << std::hex << a;
  }
  void expect_registers(std::uint32_t gp) {
    EXPECT_EQ(sim.monitor.registers().get("epc"), expect.entry);
    EXPECT_EQ(sim.monitor.registers().get("gp"), gp);
    EXPECT_EQ(sim.monitor.registers().get("sp"), DEFAULT_STACK_POINTER);
  }
  Outcome load(const std::string& name) {
    std::string t = "-s " + FIXTURES + name;
    return rig.shown(load_command(rig.s().link, t.data()));
  }
  // Every byte of the window holds the program's byte, or the fill where it has none.
  void expect_program_in_memory() {
    ASSERT_GT(image.size(), 0x100u);
    int wrong = 0;
    for (std::uint32_t a = WINDOW_START; a < WINDOW_END; ++a) {
      auto it = image.find(a);
      std::uint8_t want = it == image.end() ? FILL : it->second;
      if (sim.monitor.memory().read_byte(a) != want && ++wrong < 5)
        ADD_FAILURE() << std::hex << "at " << a;
    }
    EXPECT_EQ(wrong, 0);
    for (auto [address, size] : expect.zero)
      for (std::uint32_t a = address; a < address + size; ++a)
        ASSERT_EQ(image.count(a), 0u) << "the S-records hold bss bytes";
  }
};

TEST_F(FixtureLoad, SRecordFileWithCrLfEnds) {
  EXPECT_EQ(load("hello.mot"), Outcome::Done);
  expect_program_in_memory();
  EXPECT_EQ(sim.monitor.registers().get("epc"), expect.entry);
  // The monitor's command, the start bytes, and each line with LF alone.
  std::string lines = TempDir::read(FIXTURES + "hello.mot");
  for (std::size_t at; (at = lines.find("\r\n")) != std::string::npos;) lines.erase(at, 1);
  EXPECT_EQ(rig.serial.wire_out, "ld2\rG\n" + lines);
  EXPECT_EQ(sim.monitor.srec().errors(), 0);
}

TEST_F(FixtureLoad, CoffAsObjcopyWritesIt) {
  EXPECT_EQ(load("hello.coff"), Outcome::Done);
  expect_program_in_memory();
  EXPECT_EQ(sim.monitor.registers().get("epc"), expect.entry);
  EXPECT_EQ(sim.monitor.registers().get("gp"), 0u);
  EXPECT_EQ(sim.monitor.registers().get("sp"), DEFAULT_STACK_POINTER);
  const std::string& wire = rig.serial.wire_out;
  EXPECT_EQ(wire.rfind("bwr\r", 0), 0u);
  std::string tail = "\r" + register_commands(expect.entry, 0, DEFAULT_STACK_POINTER);
  EXPECT_EQ(wire.substr(wire.size() - tail.size()), tail);
  // .text, .rdata, .data and .sdata: four transfers of one packet each.
  EXPECT_EQ(wire.size(), 4 + 4 * (9 + 2050) + tail.size());
}

TEST_F(FixtureLoad, CoffWithItsGlobalPointer) {
  EXPECT_EQ(load("hello_gp.coff"), Outcome::Done);
  expect_program_in_memory();
  EXPECT_EQ(sim.monitor.registers().get("epc"), expect.entry);
  EXPECT_EQ(sim.monitor.registers().get("gp"), expect.gp);
  EXPECT_EQ(sim.monitor.registers().get("sp"), DEFAULT_STACK_POINTER);
}

TEST_F(FixtureLoad, ConsoleExecutableOfTheSameProgram) {
  std::uint32_t first = image.begin()->first;
  ExeLayout e;
  e.pc = expect.entry;
  e.gp = expect.gp;
  e.address = first;
  e.image.assign(image.rbegin()->first - first + 1, static_cast<char>(FILL));
  for (auto [a, b] : image) e.image[a - first] = static_cast<char>(b);
  TempDir dir;
  std::string f = dir.write("hello.exe", make_exe(e));
  std::string t = "-s " + f;
  EXPECT_EQ(rig.shown(load_command(rig.s().link, t.data())), Outcome::Done);
  expect_program_in_memory();
  EXPECT_EQ(sim.monitor.registers().get("gp"), expect.gp);
  EXPECT_EQ(sim.monitor.registers().get("sp"), DEFAULT_STACK_POINTER);
}

// An ELF lands as the S-records of its own sections do: .bss and .sbss keep the fill, and
// nothing of the file's headers, .MIPS.abiflags or .reginfo reaches the board.
TEST_F(FixtureLoad, ElfFromALinkerScript) {
  EXPECT_EQ(load("hello.elf"), Outcome::Done);
  expect_program_in_memory();
  expect_registers(expect.gp);
  // The wire is a COFF load's: .text, .rdata, .data and .sdata, one packet each.
  const std::string& wire = rig.serial.wire_out;
  EXPECT_EQ(wire.rfind("bwr\r", 0), 0u);
  std::string tail = "\r" + register_commands(expect.entry, expect.gp, DEFAULT_STACK_POINTER);
  EXPECT_EQ(wire.substr(wire.size() - tail.size()), tail);
  EXPECT_EQ(wire.size(), 4 + 4 * (9 + 2050) + tail.size());
}

TEST_F(FixtureLoad, ElfFromTheDefaultLink) {
  use_default_link();
  EXPECT_EQ(load("hello_default.elf"), Outcome::Done);
  expect_program_in_memory();
  expect_header_segment_untouched();
  expect_registers(expect.gp);
}

TEST_F(FixtureLoad, ElfWithoutSymbolsTakesGpFromReginfo) {
  use_default_link();
  EXPECT_EQ(load("hello_nosym.elf"), Outcome::Done);
  expect_program_in_memory();
  expect_header_segment_untouched();
  expect_registers(expect.gp);
}

TEST_F(FixtureLoad, ElfAddressLinesNameTheSections) {
  std::string t = FIXTURES + "hello.elf";
  EXPECT_EQ(rig.shown(load_command(rig.s().link, t.data())), Outcome::Done);
  const std::string& screen = rig.console.screen;
  for (const char* name : {"[ .text]", "[.rdata]", "[ .data]", "[.sdata]"})
    EXPECT_NE(screen.find(t + " " + name + " address:"), std::string::npos) << name;
  EXPECT_EQ(screen.find("bss"), std::string::npos);
  char registers[64];
  std::snprintf(registers, sizeof registers, "  PC=%08x, GP=%08x, SP=801ffff0\r\n", expect.entry,
                expect.gp);
  EXPECT_NE(screen.find(registers), std::string::npos);
}

}  // namespace
}  // namespace dravel::test
