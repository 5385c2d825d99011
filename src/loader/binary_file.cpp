#include "loader/binary_file.h"

#include <cerrno>
#include <cstring>

namespace dravel {

std::int64_t binary_file_size(std::FILE* f) {
  long here = std::ftell(f);
  if (here < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(f);
  std::fseek(f, here, SEEK_SET);
  return end;
}

}  // namespace dravel
