#include <gtest/gtest.h>

#include <random>

#include "sim/monitor.h"
#include "sim_test_util.h"

namespace dravel::sim {
namespace {

using testing::as_string;

TEST(SimMemory, SparsePagesZeroUntilWrittenAcrossPageEdges) {
  Memory mem;
  EXPECT_EQ(mem.read(0x80000000, 8), std::vector<std::uint8_t>(8, 0));
  EXPECT_EQ(mem.pages_in_use(), 0u);  // reading allocates nothing
  const std::uint8_t data[] = {1, 2, 3, 4, 5, 6};
  EXPECT_TRUE(mem.write(0x80000FFD, data, sizeof data));
  EXPECT_EQ(mem.pages_in_use(), 2u);
  EXPECT_EQ(as_string(mem.read(0x80000FFC, 8)), std::string("\0\1\2\3\4\5\6\0", 8));
  EXPECT_EQ(mem.read_word(0x80000FFD), 0x04030201u);
}

TEST(SimMemory, TheTopOfTheAddressSpaceIsAHardEdge) {
  Memory mem;
  const std::uint8_t data[] = {9, 9, 9, 9};
  EXPECT_FALSE(mem.write(0xFFFFFFFE, data, 4));
  EXPECT_EQ(mem.pages_in_use(), 0u);
  EXPECT_TRUE(mem.write(0xFFFFFFFC, data, 4));
  EXPECT_EQ(mem.read(0xFFFFFFFE, 8).size(), 2u);
}

TEST(SimMemory, MapBoundaries) {
  Memory mem;
  EXPECT_TRUE(mem.mapped(0x80000000, 0x800000));
  EXPECT_FALSE(mem.mapped(0x80000000, 0x800001));
  EXPECT_FALSE(mem.mapped(0x7FFFFFFF, 2));
  EXPECT_TRUE(mem.mapped(0x80800000, 0));  // the end of a region, nothing in it
  EXPECT_FALSE(mem.mapped(0x80800001, 0));
  EXPECT_TRUE(mem.mapped(0x1F800000, 0x400));
  EXPECT_FALSE(mem.mapped(0xFFFFFFFF, 0xFFFFFFFF));
  mem.map_everything();
  EXPECT_TRUE(mem.mapped(0x7FFFFFFF, 2));  // adjacent regions join
  EXPECT_TRUE(mem.mapped(0, std::uint64_t{1} << 32));
  EXPECT_FALSE(mem.mapped(1, std::uint64_t{1} << 32));
}

TEST(SimRegisters, NamesAliasesAndTheZeroRegister) {
  Registers r;
  EXPECT_TRUE(r.set("sp", 0x801FFFF0));
  EXPECT_EQ(r.get("r29"), 0x801FFFF0u);
  EXPECT_EQ(r.get("SP"), 0x801FFFF0u);
  EXPECT_TRUE(r.set("s8", 7));
  EXPECT_EQ(r.get("fp"), 7u);
  EXPECT_TRUE(r.set("zero", 5));
  EXPECT_EQ(r.get("r0"), 0u);
  EXPECT_FALSE(r.set("r32", 1));
  EXPECT_FALSE(r.set("r01", 1));
  EXPECT_FALSE(r.has("pc"));
  EXPECT_THROW(r.get("pc"), std::out_of_range);
  EXPECT_EQ(Registers::index_of("epc"), 34);
  EXPECT_EQ(Registers::index_of("gp"), 28);
}

// Random bytes, rich in command words and frame bytes, in every mode: the monitor must
// neither crash nor write outside its memory map.
TEST(SimRobustness, RandomInputNeverWritesOutsideTheMap) {
  const char* words[] = {"bwr\r",
                         "brd\r",
                         "ld2\r",
                         "lreq\r",
                         "fload x\r",
                         "G\n",
                         "dw 80000000 400\r",
                         "S30980010000DEADBEEF3D\n",
                         "\r",
                         "\x03"};
  std::mt19937 rng(12345);
  Monitor m;
  m.start();
  std::string noise;
  for (int round = 0; round < 4000; ++round) {
    std::uint32_t pick = rng() % 16;
    if (pick < 10) {
      noise = words[pick];
    } else if (pick < 12) {
      // A header with random address and count, often huge.
      noise = std::string(1, '\x01');
      for (int i = 0; i < 8; ++i) noise.push_back(static_cast<char>(rng()));
    } else {
      noise.assign(rng() % 3000, '\0');
      for (char& c : noise) c = static_cast<char>(rng());
    }
    m.receive(noise);
    m.take_output();
  }
  Memory& mem = m.memory();
  EXPECT_GT(mem.pages_in_use(), 0u);
  for (std::uint32_t page : mem.pages()) {
    EXPECT_TRUE(mem.mapped(page, 1)) << std::hex << page;
  }
}

}  // namespace
}  // namespace dravel::sim
