#include <string>

#include "core/blanks.h"
#include "core/console_out.h"
#include "core/keyboard.h"
#include "core/waits.h"
#include "lineinput/prompted_input.h"
#include "link/link.h"
#include "link/link_loss.h"
#include "link/monitor_bytes.h"
#include "link/serial_port.h"
#include "link/tx_queue.h"
#include "loader/board_file.h"
#include "loader/load_command.h"
#include "loader/srec_send.h"

namespace dravel {

namespace {

constexpr std::uint8_t ASK_NAME = 'F';
constexpr int NAME_READ = 256;

enum class NameRead { Done, Aborted, TooLong };

// The monitor's answer to 'F': a name ended by a carriage return. ESC (through the keyboard
// poll) or a name that never ends gives up, so a silent monitor cannot hold the host for ever.
NameRead read_monitor_name(Link& link, std::string& name) {
  tx_enqueue(link.tx, ASK_NAME);
  int taken = 0;
  std::uint8_t buf[NAME_READ];
  for (;;) {
    // The queue (the request among what was typed before it) goes in one write.
    if (link.tx.count > 0) tx_flush(link.tx, link.port);
    int n = link_read(link, buf, NAME_READ);
    for (int i = 0; i < n; ++i) {
      NameRead end = NameRead::Done;
      if (buf[i] != '\r') {
        name.push_back(static_cast<char>(buf[i]));
        if (++taken <= MONITOR_NAME_LIMIT) continue;
        end = NameRead::TooLong;
      }
      // The monitor's words after the name are for whoever reads next.
      link.port.unread(buf + i + 1, static_cast<std::size_t>(n - i - 1));
      return end;
    }
    if (n > 0) continue;
    poll_keyboard(link.core);
    if (link.core.abort_flag) return NameRead::Aborted;
    idle_wait(link.core);
  }
}

}  // namespace

CommandResult load_request_callback(Link& link, HistoryList& history, const std::string& load_dir,
                                    int from_monitor) {
  std::string name;
  if (from_monitor == 0) {
    char line[PROMPT_CAPACITY + 1] = {};
    prompt_line(link.core, history, LOAD_PROMPT, line, PROMPT_CAPACITY);
    name = line;
  } else {
    switch (read_monitor_name(link, name)) {
      case NameRead::Done:
        break;
      case NameRead::TooLong:
        tx_enqueue(link.tx, BREAK);
        return CommandResult::failed(format_text(
            "\n\rfile name from the monitor longer than %d bytes\a\n\r", MONITOR_NAME_LIMIT));
      case NameRead::Aborted:
        // abort_flag stays set: the loop then breaks and ends as ESC always does.
        tx_enqueue(link.tx, BREAK);
        return CommandResult::failed();
    }
  }
  // The name is one piece of text; only leading blanks go, so the file tested is the one sent.
  const char* file = skip_blanks(name.c_str());
  if (*file == '\0') {
    tx_enqueue(link.tx, BREAK);
    return CommandResult::failed();
  }
  if (from_monitor != 0) return send_board_file(link, load_dir, file);
  if (!load_file_readable(link, file)) {
    tx_enqueue(link.tx, BREAK);
    return CommandResult::failed(not_found(file));
  }
  return srec_send(link, file, 1);
}

}  // namespace dravel
