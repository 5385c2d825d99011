#include <algorithm>
#include <cstdio>

#include "loader/load_image.h"

namespace dravel {

namespace {

constexpr std::uint64_t ADDRESS_SPACE = 0x100000000ULL;

std::string piece_name(const char* name, const ImagePiece& p) {
  std::string text = std::string("\"") + name + "\"";
  if (!p.label.empty()) text += " " + p.label;
  return text;
}

}  // namespace

// A piece past 4 GiB would wrap to address 0 on the board, so it is refused like the ELF
// reader refuses it; a piece the file does not hold would send what is not there.
std::string image_problem(const char* name, const LoadImage& image, std::uint64_t file_size) {
  char text[160];
  for (const ImagePiece& p : image.pieces) {
    if (p.size == 0) continue;
    if (std::uint64_t{p.address} + p.size > ADDRESS_SPACE) {
      std::snprintf(text, sizeof text, " runs past the end of memory: address %08lx size %06lx\n\r",
                    static_cast<unsigned long>(p.address), static_cast<unsigned long>(p.size));
      return piece_name(name, p) + text;
    }
    const std::uint64_t end = p.offset + p.size;
    if (end <= file_size) continue;
    const std::uint64_t missing = std::min<std::uint64_t>(p.size, end - file_size);
    std::snprintf(text, sizeof text, " ends early: %llu of %lu bytes at %06llx missing\n\r",
                  static_cast<unsigned long long>(missing), static_cast<unsigned long>(p.size),
                  static_cast<unsigned long long>(p.offset));
    return piece_name(name, p) + text;
  }
  return {};
}

}  // namespace dravel
