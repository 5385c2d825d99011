#include "loader/exe_image.h"

#include <string>

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

ImageResult read_exe_image(const char* name, const ImageReadAt& read_at, std::uint64_t file_size) {
  std::uint8_t raw[EXE_HEADER_READ];
  if (!read_at(0, raw, sizeof raw))
    return ImageResult::refused("\"" + std::string(name) + "\" header read error\n");
  const ExeHeader h = parse_exe_header(raw);
  ImageResult r;
  r.image.pieces.push_back({h.load_address, h.load_size, EXE_IMAGE_OFFSET, ""});
  r.image.pc = h.initial_pc;
  r.image.gp = h.initial_gp;
  r.image.sp = exe_stack_pointer(h);
  if (std::string problem = image_problem(name, r.image, file_size); !problem.empty())
    return ImageResult::refused(problem);
  return r;
}

}  // namespace dravel
