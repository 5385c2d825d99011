#include "loader/srec_send.h"

#include <cstdint>
#include <cstring>

#include "core/console_out.h"
#include "core/keyboard.h"
#include "core/system_reason.h"
#include "core/text_reader.h"
#include "core/waits.h"
#include "link/link.h"
#include "link/link_loss.h"
#include "link/monitor_bytes.h"
#include "link/serial_port.h"
#include "link/tx_queue.h"
#include "loader/srec_gate.h"

namespace dravel {

namespace {

constexpr int ACK_LENGTH = sizeof SREC_ACK - 1;

constexpr int ACK_READ = 256;

// Sends the queued line in one write and waits for SREC_ACK, read in chunks; other bytes are
// shown, and what follows the acknowledgement stays for the next reader. Ends early when
// abort_flag is set, by the keyboard or by the timeout.
void wait_for_ack(Link& link, std::int64_t reference_time) {
  const std::int64_t deadline = seconds_rule_deadline_ms(reference_time, SREC_TIMEOUT_SECONDS);
  int reads = 0;
  int matched = 0;
  std::uint8_t buf[ACK_READ];
  for (;;) {
    if (link.tx.count > 0) tx_flush(link.tx, link.port);
    int n = link_read(link, buf, ACK_READ);
    int shown = 0;  // bytes of buf before this index are handled
    for (int i = 0; i < n; ++i) {
      if (static_cast<char>(buf[i]) != SREC_ACK[matched]) continue;
      if (i > shown)
        console_write(link.console(), std::string_view(reinterpret_cast<char*>(buf + shown),
                                                       static_cast<std::size_t>(i - shown)));
      shown = i + 1;
      if (++matched == ACK_LENGTH) {
        link.port.unread(buf + shown, static_cast<std::size_t>(n - shown));
        return;
      }
    }
    if (n > shown)
      console_write(link.console(), std::string_view(reinterpret_cast<char*>(buf + shown),
                                                     static_cast<std::size_t>(n - shown)));
    // With nothing in, block instead of spinning; keys and the clock are then worth a look.
    bool idled = n == 0;
    if (idled) idle_wait(link.core, false, deadline);
    if (idled || ++reads >= SREC_READS_PER_LOOK) {
      reads = 0;
      if (poll_keyboard(link.core)) read_key(link.core);
      if (link.clock().seconds() - reference_time > SREC_TIMEOUT_SECONDS) {
        console_write(link.console(), "\n\rxfersfmt:timeout !\n\r");
        link.core.abort_flag = true;
      }
    }
    if (link.core.abort_flag) return;
  }
}

void queue_line(Link& link, const char* line) {
  for (; *line != '\0'; ++line) tx_enqueue(link.tx, static_cast<std::uint8_t>(*line));
}

}  // namespace

CommandResult srec_send(Link& link, const char* name, int verbose, std::FILE* opened) {
  TextReader file;
  if (opened != nullptr ? !file.adopt(opened) : !file.open(name)) {
    std::string why = format_text("\"%s\" can't open: %s\n\r", name, open_failure().c_str());
    tx_enqueue(link.tx, BREAK);
    return CommandResult::failed(why);
  }
  long file_size = file.size();
  char line[SREC_LINE_MAX + 1];
  std::string refusal = srec_file_refusal(name, file);
  if (!refusal.empty() || !file.read_line(line, sizeof line)) {
    tx_enqueue(link.tx, BREAK);
    return CommandResult::failed(refusal);
  }

  link.prompt_seen = false;
  tx_enqueue(link.tx, 'G');
  tx_enqueue(link.tx, '\n');
  const std::int64_t start = link.clock().seconds();
  std::int64_t reference = start;
  int lines = 0;
  bool more = true;
  while (more) {
    queue_line(link, line);
    if (lines > 0 && lines % SREC_PROGRESS_LINES == 0) {
      if (verbose != 0) {
        long long percent = file_size > 0 ? file.position() * 100LL / file_size : 100;
        console_printf(link.console(), "%d line(%lld%%)", lines, percent);
      }
      reference = link.clock().seconds();
    }
    wait_for_ack(link, reference);
    if (lines % SREC_PROGRESS_LINES == 0) console_write(link.console(), "\r");
    more = file.read_line(line, sizeof line);
    ++lines;
    if (link.core.abort_flag) break;
  }

  if (link.core.abort_flag) {
    link.core.abort_flag = false;
    tx_enqueue(link.tx, BREAK);
    return CommandResult::failed(format_text(" \"%s\" %d sent\n\r send abort\n\r", name, lines));
  }
  if (file.error()) {
    tx_enqueue(link.tx, BREAK);
    return CommandResult::failed(format_text(" \"%s\" %d sent\n\r send error :%s\n\rabort !\n\r",
                                             name, lines, std::strerror(file.error_number())));
  }
  if (verbose != 0) {
    console_printf(link.console(), "\r%d lines,  %d sec.", lines,
                   static_cast<int>(link.clock().seconds() - start));
    console_printf(link.console(), "\n\r\"%s\" send ", name);
  }
  return CommandResult::done();
}

}  // namespace dravel
