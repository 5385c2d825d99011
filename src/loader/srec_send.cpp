#include "loader/srec_send.h"

#include <cstdint>
#include <cstring>

#include "core/console_out.h"
#include "core/keyboard.h"
#include "core/state.h"
#include "core/text_reader.h"
#include "core/waits.h"
#include "link/link_loss.h"
#include "link/serial_port.h"
#include "link/tx_queue.h"
#include "loader/srec_gate.h"

namespace dravel {

namespace {

constexpr std::uint8_t BREAK = 0x03;
constexpr int ACK_LENGTH = sizeof SREC_ACK - 1;

constexpr int ACK_READ = 256;

// Sends the queued line in one write and waits for SREC_ACK, read in chunks; other bytes are
// shown, and what follows the acknowledgement stays for the next reader. Ends early when
// abort_flag is set, by the keyboard or by the timeout.
void wait_for_ack(State& s, std::int64_t reference_time) {
  const std::int64_t deadline = seconds_rule_deadline_ms(reference_time, SREC_TIMEOUT_SECONDS);
  int reads = 0;
  int matched = 0;
  std::uint8_t buf[ACK_READ];
  for (;;) {
    if (s.tx.count > 0) tx_flush(s.tx, s.port);
    int n = link_read(s, buf, ACK_READ);
    int shown = 0;  // bytes of buf before this index are handled
    for (int i = 0; i < n; ++i) {
      if (static_cast<char>(buf[i]) != SREC_ACK[matched]) continue;
      if (i > shown)
        console_write(s.console(), std::string_view(reinterpret_cast<char*>(buf + shown),
                                                    static_cast<std::size_t>(i - shown)));
      shown = i + 1;
      if (++matched == ACK_LENGTH) {
        s.port.unread(buf + shown, static_cast<std::size_t>(n - shown));
        return;
      }
    }
    if (n > shown)
      console_write(s.console(), std::string_view(reinterpret_cast<char*>(buf + shown),
                                                  static_cast<std::size_t>(n - shown)));
    // With nothing in, block instead of spinning; keys and the clock are then worth a look.
    bool idled = n == 0;
    if (idled) idle_wait(s, false, deadline);
    if (idled || ++reads >= SREC_READS_PER_LOOK) {
      reads = 0;
      if (poll_keyboard(s)) read_key(s);
      if (s.io.clock.seconds() - reference_time > SREC_TIMEOUT_SECONDS) {
        console_write(s.console(), "\n\rxfersfmt:timeout !\n\r");
        s.abort_flag = true;
      }
    }
    if (s.abort_flag) return;
  }
}

void queue_line(State& s, const char* line) {
  for (; *line != '\0'; ++line) tx_enqueue(s.tx, static_cast<std::uint8_t>(*line));
}

}  // namespace

int srec_send(State& s, const char* name, int verbose, std::FILE* opened) {
  TextReader file;
  if (opened != nullptr ? !file.adopt(opened) : !file.open(name)) {
    console_printf(s.console(), "\"%s\" can't open\n\r", name);
    tx_enqueue(s.tx, BREAK);
    return -1;
  }
  long file_size = file.size();
  char line[SREC_LINE_MAX + 1];
  if (!srec_file_sound(s, name, file) || !file.read_line(line, sizeof line)) {
    tx_enqueue(s.tx, BREAK);
    return -1;
  }

  s.prompt_seen = false;
  tx_enqueue(s.tx, 'G');
  tx_enqueue(s.tx, '\n');
  const std::int64_t start = s.io.clock.seconds();
  std::int64_t reference = start;
  int lines = 0;
  bool more = true;
  while (more) {
    queue_line(s, line);
    if (lines > 0 && lines % SREC_PROGRESS_LINES == 0) {
      if (verbose != 0) {
        long long percent = file_size > 0 ? file.position() * 100LL / file_size : 100;
        console_printf(s.console(), "%d line(%lld%%)", lines, percent);
      }
      reference = s.io.clock.seconds();
    }
    wait_for_ack(s, reference);
    if (lines % SREC_PROGRESS_LINES == 0) console_write(s.console(), "\r");
    more = file.read_line(line, sizeof line);
    ++lines;
    if (s.abort_flag) break;
  }

  if (s.abort_flag) {
    console_printf(s.console(), " \"%s\" %d sent\n\r send abort\n\r", name, lines);
    s.abort_flag = false;
    tx_enqueue(s.tx, BREAK);
    return -1;
  }
  if (file.error()) {
    console_printf(s.console(), " \"%s\" %d sent\n\r send error :%s\n\rabort !\n\r", name, lines,
                   std::strerror(file.error_number()));
    tx_enqueue(s.tx, BREAK);
    return -1;
  }
  if (verbose != 0) {
    console_printf(s.console(), "\r%d lines,  %d sec.", lines,
                   static_cast<int>(s.io.clock.seconds() - start));
    console_printf(s.console(), "\n\r\"%s\" send ", name);
  }
  return 0;
}

}  // namespace dravel
