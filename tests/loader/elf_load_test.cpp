// ELF files the board cannot take: refused with what is wrong, before any byte is sent.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>

#include "loader/elf_image.h"
#include "loader/load_command.h"
#include "loader/loader_support.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

const std::string FIXTURE = std::string(DRAVEL_FIXTURES) + "/loader/hello.elf";

std::uint32_t get32(const std::string& f, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(f[at + i]);
  return v;
}
// Where section `index`'s header and the first PT_LOAD program header are.
std::size_t section(const std::string& f, int index) {
  return get32(f, 32) + 40 * static_cast<std::size_t>(index);
}
std::size_t first_load(const std::string& f) {
  for (std::size_t at = get32(f, 28);; at += 32)
    if (get32(f, at) == 1) return at;
}
// The ELF reader over a file held in memory.
ElfResult read_image(const std::string& f) {
  return read_elf_image(
      [&](std::uint64_t at, std::uint8_t* out, std::size_t n) {
        if (at + n > f.size()) return false;
        std::memcpy(out, f.data() + at, n);
        return true;
      },
      f.size());
}
// hello.elf's sections: 1 .text, 2 .rdata, 3 .data, 4 .sdata, 5 .sbss, 6 .bss, 7 .symtab.
constexpr int RDATA = 2, SYMTAB = 7;

struct Case {
  const char* what;
  std::function<void(std::string&)> change;
  const char* message;  // follows the quoted name
};

TEST(ElfLoad, DamagedOrForeignFilesAreRefusedBeforeAnythingIsSent) {
  const std::string good = TempDir::read(FIXTURE);
  const Case cases[] = {
      {"64-bit", [](std::string& f) { f[4] = 2; },
       "is a 64-bit ELF file; only 32-bit little-endian MIPS executables load"},
      {"big-endian", [](std::string& f) { f[5] = 2; }, "is a big-endian ELF file; only"},
      {"not MIPS", [](std::string& f) { put16(f, 18, 62); },
       "is an ELF file for another machine (62); only"},
      {"object", [](std::string& f) { put16(f, 16, 1); },
       "is an ELF relocatable object, not an executable; only"},
      {"shared object", [](std::string& f) { put16(f, 16, 3); }, "is an ELF shared object"},
      {"header cut", [](std::string& f) { f.resize(40); },
       "is a damaged ELF file: header past the end"},
      {"tail cut", [](std::string& f) { f.resize(0x200); },
       "is a damaged ELF file: section headers past the end of the file"},
      {"section header count", [](std::string& f) { put16(f, 48, 0xFFFF); },
       "is a damaged ELF file: section headers past the end of the file"},
      {"program header table", [](std::string& f) { put32(f, 28, 0xFFFFFFF0); },
       "is a damaged ELF file: program headers past the end of the file"},
      {"program header size", [](std::string& f) { put16(f, 42, 56); },
       "program header size is wrong"},
      {"section name table", [](std::string& f) { put16(f, 50, 99); },
       "section name table is missing"},
      {"section name", [](std::string& f) { put32(f, section(f, RDATA), 0x10000); },
       "a section name is out of range"},
      {"section past the end", [](std::string& f) { put32(f, section(f, RDATA) + 16, 0x10000); },
       ".rdata ends early: 64 of 64 bytes at 010000 missing"},
      {"overlap", [](std::string& f) { put32(f, section(f, RDATA) + 12, 0x80010010); },
       "is a damaged ELF file: .rdata overlaps .text"},
      {"past 4 GiB", [](std::string& f) { put32(f, section(f, RDATA) + 12, 0xFFFFFFF0); },
       ".rdata runs past the end of memory"},
      {"symbol table", [](std::string& f) { put32(f, section(f, SYMTAB) + 20, 0x7FFFFFF0); },
       "symbol table past the end of the file"},
      {"nothing to load",
       [](std::string& f) {
         put16(f, 48, 0);
         put16(f, 44, 0);
       },
       "is an ELF file with nothing to load"},
  };
  for (const Case& c : cases) {
    SimPeer sim;
    Rig rig(sim);
    rig.open_port();
    TempDir dir;
    std::string f = good;
    c.change(f);
    std::string name = dir.write("bad.elf", f);
    EXPECT_EQ(rig.shown(load_file(rig.s().link, name.c_str(), 1)), Outcome::Failed) << c.what;
    EXPECT_EQ(rig.serial.wire_out, "") << c.what;
    const std::string& screen = rig.console.screen;
    EXPECT_EQ(screen.rfind("\"" + name + "\" ", 0), 0u) << c.what << ": " << screen;
    EXPECT_NE(screen.find(c.message), std::string::npos) << c.what << ": " << screen;
  }
}

// A section moves with its segment's physical address, as a debugger's load places it.
TEST(ElfLoad, SectionsLandAtTheirSegmentsLoadAddress) {
  std::string f = TempDir::read(FIXTURE);
  std::size_t load = first_load(f);
  put32(f, load + 12, get32(f, load + 8) + 0x10000);
  ElfResult r = read_image(f);
  ASSERT_EQ(r.problem, "");
  ASSERT_EQ(r.image.pieces.size(), 4u);
  EXPECT_EQ(r.image.pieces[0].address, 0x80020000u);
  EXPECT_EQ(r.image.pieces[0].label, ".text");
  EXPECT_EQ(r.image.pieces[3].label, ".sdata");
}

// Without section headers, the loadable segments' file bytes go at their physical addresses.
TEST(ElfLoad, WithoutSectionHeadersTheSegmentsAreSent) {
  SimPeer sim;
  Rig rig(sim);
  rig.open_port();
  std::string f = TempDir::read(FIXTURE);
  std::size_t load = first_load(f);
  std::uint32_t address = get32(f, load + 12), size = get32(f, load + 16);
  std::string bytes = f.substr(get32(f, load + 4), size);
  put32(f, 32, 0);
  put16(f, 48, 0);
  TempDir dir;
  std::string name = dir.write("nosections.elf", f);
  EXPECT_EQ(rig.shown(load_file(rig.s().link, name.c_str(), 0)), Outcome::Done);
  for (std::uint32_t i = 0; i < size; ++i)
    ASSERT_EQ(sim.monitor.memory().read_byte(address + i), static_cast<std::uint8_t>(bytes[i]));
  EXPECT_EQ(sim.monitor.registers().get("epc"), get32(f, 24));
}

}  // namespace
}  // namespace dravel::test

namespace dravel::test {
namespace {

// 8 MB made to be slow: a quarter of a million symbols all named by one 4 MB string with no
// end. Each name costs four bytes' compare: far under the bound, where a search for each
// name's end took minutes.
TEST(ElfLoad, ACraftedSymbolTableCostsLinearTime) {
  std::string f = TempDir::read(FIXTURE);
  const std::size_t symtab = section(f, SYMTAB);
  const std::size_t strtab = section(f, static_cast<int>(get32(f, symtab + 24)));
  constexpr std::uint32_t HALF = 4u << 20;
  put32(f, strtab + 16, static_cast<std::uint32_t>(f.size()));
  put32(f, strtab + 20, HALF);
  f.append(HALF, 'A');
  put32(f, symtab + 16, static_cast<std::uint32_t>(f.size()));
  put32(f, symtab + 20, HALF);
  f.append(HALF, '\0');
  const auto start = std::chrono::steady_clock::now();
  ElfResult r = read_image(f);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.problem, "");
  EXPECT_LT(took, std::chrono::seconds(5));
}

}  // namespace
}  // namespace dravel::test
