#include <gtest/gtest.h>

#include <cstring>

#include "loader/coff_image.h"
#include "loader/load_command.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

struct CoffLoad : ::testing::Test {
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

CoffSectionHeader section(const char* name, std::uint32_t flags) {
  CoffSectionHeader h{};
  std::memcpy(h.name, name, std::min<std::size_t>(std::strlen(name), sizeof h.name));
  h.flags = flags;
  return h;
}

TEST(CoffSectionWanted, NameAndTypeBitMustBothMatch) {
  EXPECT_TRUE(coff_section_wanted(section(".text", 0x20)));
  EXPECT_TRUE(coff_section_wanted(section(".rdata", 0x100)));
  EXPECT_TRUE(coff_section_wanted(section(".data", 0x40 | 0x1)));
  EXPECT_TRUE(coff_section_wanted(section(".sdata", 0x200)));
  EXPECT_FALSE(coff_section_wanted(section(".text", 0x40)));
  EXPECT_FALSE(coff_section_wanted(section(".data", 0x20)));
  EXPECT_FALSE(coff_section_wanted(section(".TEXT", 0x20)));
  EXPECT_FALSE(coff_section_wanted(section(".texts", 0x20)));
  EXPECT_FALSE(coff_section_wanted(section(".text123", 0x20)));  // eight characters, no end
  EXPECT_FALSE(coff_section_wanted(section(".bss", 0x80)));
  EXPECT_FALSE(coff_section_wanted(section(".sbss", 0xFFFFFFFF)));
}

TEST_F(CoffLoad, SendsWantedSectionsInTableOrderAndSetsRegisters) {
  CoffLayout c;
  c.entry = 0x80010008;
  c.gp = 0x80018000;
  c.sections = {
      {".data", 0x80010200, "DATA", 0x40},  {".text", 0x80010000, "TEXTTEXT", 0x20},
      {".rdata", 0x80010100, "RO", 0x100},  {".sdata", 0x80010300, "s", 0x200},
      {".sbss", 0x80010400, "zz", 0x400},   {".bss", 0x80010500, "ZZ", 0x80},
      {".text", 0x80010600, "nobit", 0x40}, {".TEXT", 0x80010700, "upper", 0x20},
  };
  std::string f = dir.write("p.coff", make_coff(c));
  rig.s().link.prompt_seen = true;  // a script then waits for the prompt after the load
  EXPECT_EQ(load(f), Outcome::Done);
  EXPECT_FALSE(rig.s().link.prompt_seen);
  EXPECT_EQ(rig.serial.wire_out,
            "bwr\r" + transfer_header(0x80010200, 4) + packets("DATA") +
                transfer_header(0x80010000, 8) + packets("TEXTTEXT") +
                transfer_header(0x80010100, 2) + packets("RO") + transfer_header(0x80010300, 1) +
                packets("s") + "\r" +
                register_commands(0x80010008, 0x80018000, DEFAULT_STACK_POINTER));
  EXPECT_EQ(memory(0x80010400, 2), std::string(2, '\0'));
  EXPECT_EQ(memory(0x80010600, 5), std::string(5, '\0'));
  EXPECT_EQ(reg("epc"), 0x80010008u);
  EXPECT_EQ(reg("gp"), 0x80018000u);
  EXPECT_EQ(reg("sp"), DEFAULT_STACK_POINTER);

  std::string bs(16, '\b');
  EXPECT_EQ(rig.console.screen,
            f + " [ .data] address:80010200-80010203 size:000004  000004:    0sec." + bs + "\r\n" +
                f + " [ .text] address:80010000-80010007 size:000008  000008:    0sec." + bs +
                "\r\n" + f + " [.rdata] address:80010100-80010101 size:000002  000002:    0sec." +
                bs + "\r\n" + f +
                " [.sdata] address:80010300-80010300 size:000001  000001:    0sec." + bs +
                "\r\n  PC=80010008, GP=80018000, SP=801ffff0\r\n");
}

TEST_F(CoffLoad, EmptySectionAnnouncesZeroBytes) {
  CoffLayout c;
  c.sections = {{".text", 0x80010000, "", 0x20, 0, 0x7FFFFFF0}};
  std::string f = dir.write("p.coff", make_coff(c));
  rig.s().link.prompt_seen = true;  // a script then waits for the prompt after the load
  EXPECT_EQ(load(f), Outcome::Done);
  EXPECT_FALSE(rig.s().link.prompt_seen);
  EXPECT_EQ(rig.serial.wire_out, "bwr\r" + transfer_header(0x80010000, 0) + "\r" +
                                     register_commands(0x80010000, 0, DEFAULT_STACK_POINTER));
  EXPECT_NE(rig.console.screen.find("[ .text] address:80010000-8000ffff size:000000  \r\n"),
            std::string::npos);
}

TEST_F(CoffLoad, HeaderProblemsFailWithTheirMessagesBeforeAnythingIsSent) {
  CoffLayout good;
  good.sections = {{".text", 0x80010000, "abcd", 0x20}};
  struct Case {
    std::string file;
    std::string message;
  };
  CoffLayout no_optional = good, not_exec = good, no_sections = good, too_many = good;
  no_optional.optional_header_size = 0;
  not_exec.flags = 0x0105;
  no_sections.section_count = 0;
  too_many.section_count = 0xFFFF;
  std::string whole = make_coff(good);
  const Case cases[] = {
      {make_coff(no_optional), "Error! file and optional headers inconsistent\n"},
      {make_coff(not_exec), "Error! file is not executable \n"},
      {make_coff(no_sections), "Error! file section headers can not read\n"},
      {make_coff(too_many), "Error! file section headers can not read\n"},
      {whole.substr(0, 100), "Error! file section headers can not read\n"},
      {whole.substr(0, 50), "Error! optional header can not read\n"},
      {whole.substr(0, 12), "Error! file header can not read\n"},
  };
  for (const Case& c : cases) {
    rig.serial.wire_out.clear();
    rig.console.take_screen();
    std::string f = dir.write("bad.coff", c.file);
    EXPECT_EQ(load(f), Outcome::Failed);
    EXPECT_EQ(rig.console.take_screen(), c.message);
    EXPECT_EQ(rig.serial.wire_out, "");
  }
}

TEST_F(CoffLoad, SectionDataPastTheEndIsRefusedBeforeAnyHeader) {
  CoffLayout c;
  c.sections = {{".text", 0x80010000, "abcd", 0x20},
                {".data", 0x80010100, "efgh", 0x40, 0x10},  // larger than the file holds
                {".bss", 0x80010200, "", 0x80, 0x100000}};  // not sent, so not checked
  std::string f = dir.write("cut.coff", make_coff(c));
  EXPECT_EQ(load(f), Outcome::Failed);
  EXPECT_EQ(rig.serial.wire_out, "");
  EXPECT_EQ(sim.monitor.mode(), sim::Mode::command);
  EXPECT_EQ(rig.console.screen.rfind("\"" + f + "\" .data ends early: ", 0), 0u)
      << rig.console.screen;

  CoffLayout far;
  far.sections = {{".text", 0x80010000, "abcd", 0x20, -1, 0x10000}};
  rig.serial.wire_out.clear();
  EXPECT_EQ(load(dir.write("far.coff", make_coff(far))), Outcome::Failed);
  EXPECT_EQ(rig.serial.wire_out, "");
  EXPECT_EQ(reg("epc"), 0u);
}

TEST_F(CoffLoad, AbortFlagSkipsTheRestAndTheRegisters) {
  CoffLayout c;
  c.sections = {{".text", 0x80010000, "abcd", 0x20}, {".data", 0x80010100, "efgh", 0x40}};
  std::string f = dir.write("p.coff", make_coff(c));
  rig.s().core.abort_flag = true;
  EXPECT_EQ(load(f), Outcome::Failed);
  EXPECT_TRUE(rig.s().core.abort_flag);
  EXPECT_EQ(rig.serial.wire_out, "bwr\r" + transfer_header(0x80010000, 4) + "\r");
  EXPECT_EQ(rig.console.screen, f + " [ .text] address:80010000-80010003 size:000004  " + f +
                                    " [ .text] address:80010000-80010003 size:000004  skip\n\r");
  EXPECT_EQ(reg("epc"), 0u);
}

}  // namespace
}  // namespace dravel::test
