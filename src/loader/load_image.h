#pragma once
// A program as the board receives it: file bytes for address ranges, then three registers.
// The executable formats' readers each say what goes where, reading through an ImageReadAt
// and printing nothing; image_sender.h sends it.
#include <cstddef>
#include <cstdint>
#include <functional>
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

// Reads `n` bytes at `offset` into `out`; false when the file does not hold them.
using ImageReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* out, std::size_t n)>;

// A reader's answer: the image, or the message that says why the file cannot be loaded,
// whole (its line ends included), as the load shows it.
struct ImageResult {
  LoadImage image;
  std::string message;
  bool ok = true;
  static ImageResult refused(std::string why) {
    ImageResult r;
    r.message = std::move(why);
    r.ok = false;
    return r;
  }
};

// The rules every piece of every load keeps, checked before anything is sent: the file holds
// its bytes, and it ends within the 32-bit address space. The message, or empty.
std::string image_problem(const char* name, const LoadImage& image, std::uint64_t file_size);

}  // namespace dravel
