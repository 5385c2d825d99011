#include "loader/exe_load.h"

#include "core/console_out.h"
#include "core/state.h"
#include "link/block_protocol.h"
#include "link/handshake.h"
#include "loader/binary_file.h"
#include "loader/exe_header.h"
#include "loader/image_sender.h"

namespace dravel {

void start_registers(State& s, std::uint32_t pc, std::uint32_t gp, std::uint32_t sp, int verbose) {
  if (verbose != 0)
    console_printf(s.console(), "  PC=%08lx, GP=%08lx, SP=%08lx\r\n",
                   static_cast<unsigned long>(pc), static_cast<unsigned long>(gp),
                   static_cast<unsigned long>(sp));
  set_target_register(s, REGISTER_EPC, pc);
  set_target_register(s, REGISTER_GP, gp);
  set_target_register(s, REGISTER_SP, sp);
}

int exe_load(State& s, const char* name, int verbose) {
  BinaryFile file = open_binary(name);
  if (!file) {
    console_printf(s.console(), "Can't open \"%s\"\n\r", name);
    return -1;
  }
  std::uint8_t raw[EXE_HEADER_READ];
  if (std::fread(raw, 1, sizeof raw, file.get()) < sizeof raw) {
    console_printf(s.console(), "\"%s\" header read error\n", name);
    return -1;
  }
  if (std::fseek(file.get(), EXE_IMAGE_OFFSET, SEEK_SET) != 0) {
    console_printf(s.console(), "\"%s\" header skip error\n", name);
    return -1;
  }
  const ExeHeader h = parse_exe_header(raw);
  LoadImage image;
  image.pieces.push_back({h.load_address, h.load_size, EXE_IMAGE_OFFSET, ""});
  image.pc = h.initial_pc;
  image.gp = h.initial_gp;
  image.sp = exe_stack_pointer(h);
  if (!image_pieces_in_file(s, name, file.get(), image)) {
    file.reset();
    leave_binary(s);
    return -1;
  }
  s.prompt_seen = false;
  return send_load_image(s, file.get(), name, image, verbose);
}

}  // namespace dravel
