#include "core/state.h"
#include "core/console_out.h"
#include "link/handshake.h"
#include "loader/binary_file.h"
#include "loader/elf_image.h"
#include "loader/exe_load.h"
#include "loader/image_sender.h"

namespace dravel {

int elf_load(State& s, const char* name, int verbose) {
  BinaryFile file = open_binary(name);
  if (!file) {
    console_printf(s.console(), "Can't open \"%s\"\n\r", name);
    return -1;
  }
  std::int64_t size = binary_file_size(file.get());
  if (size < 0) {
    console_printf(s.console(), "\"%s\" cannot be read\n\r", name);
    return -1;
  }
  std::FILE* f = file.get();
  auto read_at = [f](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
  };
  ElfResult elf = read_elf_image(read_at, static_cast<std::uint64_t>(size));
  if (!elf.problem.empty()) {
    console_printf(s.console(), "\"%s\" %s\n\r", name, elf.problem.c_str());
    return -1;
  }
  // Nothing goes to the board until the whole file is known to be loadable.
  if (!image_pieces_in_file(s, name, f, elf.image)) return -1;
  enter_binary_write(s);
  return send_load_image(s, f, name, elf.image, verbose);
}

}  // namespace dravel
