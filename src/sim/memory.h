#pragma once
// Target memory: a sparse 32-bit address space. Pages are allocated on first write and
// read as zero until then. The memory map says which ranges the monitor accepts from the
// wire; direct access from tests and the program's options is not limited by it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace dravel::sim {

struct Region {
  std::uint32_t start;
  std::uint32_t size;
  std::string name;
};

// The board's RAM as seen through the three MIPS segments (8 MiB each, not mirrored here),
// and the data cache scratchpad.
std::vector<Region> board_memory_map();

class Memory {
 public:
  static constexpr std::size_t PAGE_SIZE = 0x1000;

  Memory();

  // Bytes past the top of the 32-bit space are not there: reads stop short, writes
  // are refused whole (false, nothing written).
  std::vector<std::uint8_t> read(std::uint32_t addr, std::size_t n) const;
  bool write(std::uint32_t addr, const std::uint8_t* data, std::size_t n);
  std::uint8_t read_byte(std::uint32_t addr) const;
  void write_byte(std::uint32_t addr, std::uint8_t value);
  std::uint32_t read_word(std::uint32_t addr) const;  // little-endian

  // True when [addr, addr + n) lies inside mapped regions (n == 0: addr is inside or at
  // the end of one).
  bool mapped(std::uint32_t addr, std::uint64_t n) const;
  const std::vector<Region>& map() const { return map_; }
  void set_map(std::vector<Region> regions) { map_ = std::move(regions); }
  // Maps all 4 GiB, for tests that want any address.
  void map_everything();

  std::size_t pages_in_use() const { return pages_.size(); }
  // Start addresses of the allocated pages, in no particular order.
  std::vector<std::uint32_t> pages() const;

 private:
  using Page = std::array<std::uint8_t, PAGE_SIZE>;
  const Page* find_page(std::uint32_t addr) const;
  Page& page(std::uint32_t addr);

  std::unordered_map<std::uint32_t, std::unique_ptr<Page>> pages_;
  std::vector<Region> map_;
};

}  // namespace dravel::sim
