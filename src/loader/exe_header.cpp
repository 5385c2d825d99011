#include "loader/exe_header.h"

#include "loader/exe_load.h"
#include "loader/le_bytes.h"

namespace dravel {

ExeHeader parse_exe_header(const std::uint8_t (&bytes)[EXE_HEADER_READ]) {
  ExeHeader h{};
  h.initial_pc = le32(bytes + 16);
  h.initial_gp = le32(bytes + 20);
  h.load_address = le32(bytes + 24);
  h.load_size = le32(bytes + 28);
  h.stack_base = le32(bytes + 48);
  h.stack_size = le32(bytes + 52);
  return h;
}

std::uint32_t exe_stack_pointer(const ExeHeader& h) {
  std::uint32_t sp = h.stack_base + h.stack_size;
  return sp == 0 ? DEFAULT_STACK_POINTER : sp;
}

}  // namespace dravel
