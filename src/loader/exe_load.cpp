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
  const std::uint32_t sp = exe_stack_pointer(h);
  if (!image_in_file(s, name, "", binary_file_size(file.get()), EXE_IMAGE_OFFSET, h.load_size)) {
    file.reset();
    leave_binary(s);
    return -1;
  }

  s.prompt_seen = false;
  if (verbose != 0)
    console_printf(s.console(), "%s  address:%08lx-%08lx size:%06lx  ", name,
                   static_cast<unsigned long>(h.load_address),
                   static_cast<unsigned long>(h.load_address + h.load_size - 1),
                   static_cast<unsigned long>(h.load_size));
  send_transfer_header(s, h.load_address, h.load_size);
  const std::int64_t start = s.io.clock.seconds();
  int data = 0;
  if (!s.abort_flag) data = send_image_data(s, file.get(), name, h.load_size, start, verbose);
  file.reset();
  leave_binary(s);
  if (s.abort_flag || data != 0) return -1;
  start_registers(s, h.initial_pc, h.initial_gp, sp, verbose);
  return 0;
}

}  // namespace dravel
