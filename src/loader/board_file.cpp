#include "loader/board_file.h"

#include <string>

#include "core/console_out.h"
#include "core/state.h"
#include "link/tx_queue.h"
#include "loader/board_file_name.h"
#include "loader/srec_send.h"

namespace dravel {

namespace {
constexpr std::uint8_t BREAK = 0x03;
}

int send_board_file(State& s, const char* name) {
  std::string why;
  std::FILE* file = nullptr;
  if (const char* bad = board_file_name_refusal(name))
    why = bad;
  else
    file = s.io.files.open_inside(s.options.load_dir, name, why);
  if (file == nullptr) {
    tx_enqueue(s.tx, BREAK);
    console_printf(s.console(), " \"%s\" not found\a\n\r", name);
    if (!why.empty())
      console_printf(
          s.console(), "refused: the board may ask only for a file in %s (%s)\n\r",
          s.options.load_dir.empty() ? "the working directory" : s.options.load_dir.c_str(),
          why.c_str());
    return -1;
  }
  return srec_send(s, name, 1, file) == -1 ? -1 : 0;
}

}  // namespace dravel
