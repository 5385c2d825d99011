// An ELF file offered for loading: its headers as the reader takes them, and then the load
// itself up to the first byte sent (where the console's ESC ends the program).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/program_exit.h"
#include "fuzz_platform.h"
#include "loader/elf_image.h"
#include "loader/load_command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto read_at = [&](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset > size || n > size - offset) return false;
    std::memcpy(out, data + offset, n);
    return true;
  };
  dravel::ElfResult r = dravel::read_elf_image(read_at, size);
  if (r.problem.empty() == r.image.pieces.empty()) std::abort();
  // What is sent is in address order, inside the 32-bit space, never twice to one byte,
  // and named with printable characters only.
  std::uint64_t end = 0;
  for (const dravel::ImagePiece& p : r.image.pieces) {
    std::uint64_t first = p.address;
    if (first < end || first + p.size > 0x100000000ULL) std::abort();
    end = first + p.size;
    if (p.label.empty()) std::abort();
    for (char c : p.label)
      if (c < 0x20 || c > 0x7E) std::abort();
  }

  static dravel::fuzz::MemFile file;
  file.set(data, size);
  dravel::fuzz::Rig rig;
  try {
    dravel::load_file(rig.s().link, file.path().c_str(), 1);
  } catch (const dravel::ProgramExit&) {
  }
  return 0;
}
