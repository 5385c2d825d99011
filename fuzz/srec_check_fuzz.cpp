// The S-record line check on any bytes: it never reads outside the line, and what it takes
// for a record is one: 'S', a digit, hex digits only, and as many bytes as the count says.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "loader/srec_check.h"

namespace {

bool hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int value(char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  if (dravel::srec_line_problem(line) != nullptr) return 0;
  if (size < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9') std::abort();
  for (std::size_t i = 2; i < size; ++i)
    if (!hex(line[i])) std::abort();
  if (static_cast<std::size_t>(value(line[2]) * 16 + value(line[3])) * 2 != size - 4) std::abort();
  return 0;
}
