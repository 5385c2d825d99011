#pragma once
// What a 32-bit little-endian MIPS ELF executable puts into the board's memory, read from
// its headers alone: the allocated sections with contents at their load addresses (or,
// without section headers, the loadable segments), the entry point and the gp value.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "loader/load_image.h"

namespace dravel {

inline constexpr std::uint8_t ELF_MAGIC[4] = {0x7F, 'E', 'L', 'F'};

// Reads `n` bytes at `offset` into `out`; false when the file does not hold them.
using ElfReadAt = ImageReadAt;

struct ElfResult {
  LoadImage image;      // filled when `problem` is empty
  std::string problem;  // why the file cannot be loaded, to follow its quoted name
};

// Never trusts the file: every table and count is checked against `file_size` before it is
// read or allocated for. The pieces come out in ascending address order, none overlapping.
ElfResult read_elf_image(const ElfReadAt& read_at, std::uint64_t file_size);

}  // namespace dravel
