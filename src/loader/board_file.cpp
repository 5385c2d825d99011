#include "loader/board_file.h"

#include <string>

#include "core/console_out.h"
#include "link/link.h"
#include "link/monitor_bytes.h"
#include "link/tx_queue.h"
#include "loader/board_file_name.h"
#include "loader/load_command.h"
#include "loader/srec_send.h"

namespace dravel {

CommandResult send_board_file(Link& link, const std::string& load_dir, const char* name) {
  std::string why;
  std::FILE* file = nullptr;
  if (const char* bad = board_file_name_refusal(name))
    why = bad;
  else
    file = link.core.io.files.open_inside(load_dir, name, why);
  if (file == nullptr) {
    tx_enqueue(link.tx, BREAK);
    std::string said = not_found(name);
    if (!why.empty())
      said +=
          format_text("refused: the board may ask only for a file in %s (%s)\n\r",
                      load_dir.empty() ? "the working directory" : load_dir.c_str(), why.c_str());
    return CommandResult::failed(said);
  }
  return srec_send(link, name, 1, file);
}

}  // namespace dravel
