#pragma once
// The console executable: a 2048-byte header, then one memory image.
#include <cstdint>

#include "loader/load_image.h"

namespace dravel {

inline constexpr int EXE_HEADER_READ = 136;  // the part of the header that is read
inline constexpr long EXE_IMAGE_OFFSET = 2048;

struct ExeHeader {
  std::uint32_t initial_pc;
  std::uint32_t initial_gp;
  std::uint32_t load_address;
  std::uint32_t load_size;
  std::uint32_t stack_base;
  std::uint32_t stack_size;
};

ExeHeader parse_exe_header(const std::uint8_t (&bytes)[EXE_HEADER_READ]);
// stack_base + stack_size (wrapping), or DEFAULT_STACK_POINTER when that is 0.
std::uint32_t exe_stack_pointer(const ExeHeader& h);

// The image an executable file `name` (for the messages) describes, checked whole.
ImageResult read_exe_image(const char* name, const ImageReadAt& read_at, std::uint64_t file_size);

}  // namespace dravel
