#pragma once
// A program as the board receives it: file bytes for address ranges, then three registers.
// The executable formats each say what goes where; image_sender.h sends it.
#include <cstdint>
#include <string>
#include <vector>

namespace dravel {

inline constexpr std::uint32_t DEFAULT_STACK_POINTER = 0x801FFFF0;

struct ImagePiece {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
  std::uint64_t offset = 0;  // where the bytes are in the file
  // A section's name, shown in brackets on its address line; empty for a one-image format.
  std::string label;
};

struct LoadImage {
  std::vector<ImagePiece> pieces;  // in the order they are sent
  std::uint32_t pc = 0;
  std::uint32_t gp = 0;
  std::uint32_t sp = DEFAULT_STACK_POINTER;
};

}  // namespace dravel
