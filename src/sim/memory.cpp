#include "sim/memory.h"

#include <algorithm>

namespace dravel::sim {

namespace {
constexpr std::uint64_t ADDRESS_SPACE = std::uint64_t{1} << 32;
constexpr std::uint32_t PAGE_MASK = ~static_cast<std::uint32_t>(Memory::PAGE_SIZE - 1);
}  // namespace

std::vector<Region> board_memory_map() {
  return {
      {0x00000000u, 0x00800000u, "ram (kuseg)"},
      {0x80000000u, 0x00800000u, "ram (kseg0)"},
      {0xA0000000u, 0x00800000u, "ram (kseg1)"},
      {0x1F800000u, 0x00000400u, "scratchpad"},
  };
}

Memory::Memory() : map_(board_memory_map()) {}

void Memory::map_everything() {
  // Two halves, since one region's size is 32 bits.
  map_ = {{0x00000000u, 0x80000000u, "low"}, {0x80000000u, 0x80000000u, "high"}};
}

bool Memory::mapped(std::uint32_t addr, std::uint64_t n) const {
  // Adjacent regions count as one range.
  std::uint64_t pos = addr;
  const std::uint64_t end = addr + n;
  do {
    auto it = std::find_if(map_.begin(), map_.end(), [&](const Region& r) {
      std::uint64_t r_end = std::uint64_t{r.start} + r.size;
      return pos >= r.start && (pos < r_end || (n == 0 && pos == r_end));
    });
    if (it == map_.end()) return false;
    pos = std::uint64_t{it->start} + it->size;
  } while (pos < end);
  return true;
}

const Memory::Page* Memory::find_page(std::uint32_t addr) const {
  auto it = pages_.find(addr & PAGE_MASK);
  return it == pages_.end() ? nullptr : it->second.get();
}

Memory::Page& Memory::page(std::uint32_t addr) {
  auto& slot = pages_[addr & PAGE_MASK];
  if (!slot) {
    slot = std::make_unique<Page>();
    slot->fill(0);
  }
  return *slot;
}

std::vector<std::uint8_t> Memory::read(std::uint32_t addr, std::size_t n) const {
  std::uint64_t avail = ADDRESS_SPACE - addr;
  std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(n, avail));
  std::vector<std::uint8_t> out(count, 0);
  std::size_t done = 0;
  while (done < count) {
    std::uint32_t a = addr + static_cast<std::uint32_t>(done);
    std::size_t offset = a & (PAGE_SIZE - 1);
    std::size_t chunk = std::min(count - done, PAGE_SIZE - offset);
    if (const Page* p = find_page(a)) std::copy_n(p->data() + offset, chunk, out.data() + done);
    done += chunk;
  }
  return out;
}

bool Memory::write(std::uint32_t addr, const std::uint8_t* data, std::size_t n) {
  if (std::uint64_t{addr} + n > ADDRESS_SPACE) return false;
  std::size_t done = 0;
  while (done < n) {
    std::uint32_t a = addr + static_cast<std::uint32_t>(done);
    std::size_t offset = a & (PAGE_SIZE - 1);
    std::size_t chunk = std::min(n - done, PAGE_SIZE - offset);
    std::copy_n(data + done, chunk, page(a).data() + offset);
    done += chunk;
  }
  return true;
}

std::vector<std::uint32_t> Memory::pages() const {
  std::vector<std::uint32_t> out;
  out.reserve(pages_.size());
  for (const auto& [addr, page] : pages_) out.push_back(addr);
  return out;
}

std::uint8_t Memory::read_byte(std::uint32_t addr) const {
  const Page* p = find_page(addr);
  return p == nullptr ? 0 : (*p)[addr & (PAGE_SIZE - 1)];
}

void Memory::write_byte(std::uint32_t addr, std::uint8_t value) {
  page(addr)[addr & (PAGE_SIZE - 1)] = value;
}

std::uint32_t Memory::read_word(std::uint32_t addr) const {
  std::uint32_t w = 0;
  for (int i = 3; i >= 0; --i) w = (w << 8) | read_byte(addr + static_cast<std::uint32_t>(i));
  return w;
}

}  // namespace dravel::sim
