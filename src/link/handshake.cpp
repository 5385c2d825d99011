#include "link/handshake.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "core/console_out.h"
#include "core/exits.h"
#include "core/waits.h"
#include "link/link.h"
#include "link/link_loss.h"
#include "link/monitor_bytes.h"

namespace dravel {

namespace {

constexpr int PROMPT_LIMIT_SECONDS = 3;
constexpr int TEXT_WAIT_READ = 100;
constexpr int PROMPT_READ = 256;
constexpr int REGISTER_COMMAND_SIZE = 256;

struct RegisterName {
  int reg;
  const char* name;  // as the monitor's "sr" command spells it
};

constexpr RegisterName REGISTER_NAMES[] = {
    {REGISTER_GP, "gp"},
    {REGISTER_SP, "sp"},
    {REGISTER_EPC, "epc"},
};

const char* register_name(int reg) {
  for (const RegisterName& r : REGISTER_NAMES)
    if (r.reg == reg) return r.name;
  return nullptr;
}

// A key pressed during the prompt wait is not for the monitor: ESC ends the program,
// anything else is thrown away.
void discard_console_key(Link& link) {
  platform::Console& c = link.console();
  if (!c.key_waiting()) return;
  if (c.read_key() == key::ESC) end_run(link.core, 1);
}

// The monitor's answers are whole lines, so the text is matched as a whole: after a byte
// that breaks the match, what is kept is the longest start of `want` that the latest bytes
// still spell (so "bbinary" matches "binary"), never letters picked out of other text (a
// refused command line echoed back would otherwise pass for the answer).
std::size_t text_match_step(std::string_view want, std::size_t matched, char c) {
  for (std::size_t k = std::min(matched + 1, want.size()); k > 0; --k) {
    if (want[k - 1] != c) continue;
    if (want.compare(0, k - 1, want, matched + 1 - k, k - 1) == 0) return k;
  }
  return 0;
}

}  // namespace

int wait_prompt(Link& link) {
  const std::int64_t start = link.clock().seconds();
  std::uint8_t previous = 0;
  for (;;) {
    if (link.clock().seconds() - start > PROMPT_LIMIT_SECONDS) {
      console_write(link.console(), "KRVB7100 not ready!\n");
      end_run(link.core, 1);
    }
    discard_console_key(link);
    std::uint8_t buf[PROMPT_READ];
    int n = link_read(link, buf, PROMPT_READ);
    for (int i = 0; i < n; ++i) {
      if (buf[i] == '>' && previous == '>') {
        // What follows ">>" stays for the next reader.
        link.port.unread(buf + i + 1, static_cast<std::size_t>(n - i - 1));
        return 0;
      }
      previous = buf[i];
    }
    if (n == 0) idle_wait(link.core, false, seconds_rule_deadline_ms(start, PROMPT_LIMIT_SECONDS));
  }
}

int set_target_register(Link& link, int reg, std::uint32_t value) {
  const char* name = register_name(reg);
  if (name == nullptr) return -1;
  char command[REGISTER_COMMAND_SIZE];
  std::snprintf(command, sizeof command, "sr %s %lx\r", name, static_cast<unsigned long>(value));
  wait_prompt(link);
  serial_write_string(link.port, command);
  wait_prompt(link);
  serial_write_byte(link.port, CR);
  return 0;
}

void wait_for_text(Link& link, const char* pattern) {
  const std::string_view want = pattern;
  if (want.empty()) return;
  std::size_t matched = 0;
  std::uint8_t buf[TEXT_WAIT_READ];
  for (;;) {
    int n = link_read(link, buf, TEXT_WAIT_READ);
    for (int i = 0; i < n; ++i) {
      matched = text_match_step(want, matched, static_cast<char>(buf[i]));
      if (matched != want.size()) continue;
      // The monitor's next words (often its prompt) belong to whoever reads next.
      link.port.unread(buf + i + 1, static_cast<std::size_t>(n - i - 1));
      return;
    }
    // No time limit, but ESC still gets the user out.
    terminate_on_abort(link.core, true);
    if (n == 0) idle_wait(link.core);
  }
}

}  // namespace dravel
