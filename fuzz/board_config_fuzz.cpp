// Board file: any text. It reads or gives one error naming the file and a line within the
// text; what it reads holds together, every board is found by its name, and every log name
// fills its time fields.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "terminal/board_config.h"

using namespace dravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const BoardFileResult r = parse_board_config(text, "f", size % 2 == 0 ? "/home/u" : "");
  if (!r.ok) {
    // "f:LINE: ..." with LINE a line of the text
    if (!r.error.starts_with("f:") || !r.file.boards.empty()) std::abort();
    const long line = std::strtol(r.error.c_str() + 2, nullptr, 10);
    long lines = 1;
    for (char c : text) lines += c == '\n';
    if (line < 1 || line > lines) std::abort();
    return 0;
  }
  LocalTime t;
  t.year = size > 0 ? data[0] * 17 : 1970;
  for (const Board& b : r.file.boards) {
    if (b.name.empty() || b.baud < 0 || b.baud > BOARD_BAUD_LIMIT) std::abort();
    if (find_board(r.file, b.name).board != &b) std::abort();
    const TimeFieldsResult log = expand_time_fields(b.log, t);
    if (!log.error.empty()) std::abort();
  }
  if (find_board(r.file, "\x01").board != nullptr) std::abort();
  return 0;
}
