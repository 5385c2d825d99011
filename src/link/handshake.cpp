#include "link/handshake.h"

#include <cstdio>
#include <cstring>

#include "core/console_out.h"
#include "core/exits.h"
#include "core/state.h"
#include "core/waits.h"
#include "link/link_loss.h"
#include "link/serial_port.h"

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
void discard_console_key(State& s) {
  platform::Console& c = s.io.console;
  if (!c.key_waiting()) return;
  if (c.read_key() == key::ESC) exit_saving_history(s, 1);
}

int enter_or_leave(State& s, const char* command, const char* answer) {
  serial_write_string(s.port, command);
  wait_for_text(s, answer);
  return 0;
}

}  // namespace

int wait_prompt(State& s) {
  const std::int64_t start = s.io.clock.seconds();
  std::uint8_t previous = 0;
  for (;;) {
    if (s.io.clock.seconds() - start > PROMPT_LIMIT_SECONDS) {
      console_write(s.console(), "KRVB7100 not ready!\n");
      exit_saving_history(s, 1);
    }
    discard_console_key(s);
    std::uint8_t buf[PROMPT_READ];
    int n = link_read(s, buf, PROMPT_READ);
    for (int i = 0; i < n; ++i) {
      if (buf[i] == '>' && previous == '>') {
        // What follows ">>" stays for the next reader.
        s.port.unread(buf + i + 1, static_cast<std::size_t>(n - i - 1));
        return 0;
      }
      previous = buf[i];
    }
    if (n == 0) idle_wait(s, false, seconds_rule_deadline_ms(start, PROMPT_LIMIT_SECONDS));
  }
}

int set_target_register(State& s, int reg, std::uint32_t value) {
  const char* name = register_name(reg);
  if (name == nullptr) return -1;
  char command[REGISTER_COMMAND_SIZE];
  std::snprintf(command, sizeof command, "sr %s %lx\r", name, static_cast<unsigned long>(value));
  wait_prompt(s);
  serial_write_string(s.port, command);
  wait_prompt(s);
  serial_write_byte(s.port, 0x0D);
  return 0;
}

int enter_binary_read(State& s) {
  return enter_or_leave(s, "brd\r", "binary\r");
}
int enter_binary_write(State& s) {
  return enter_or_leave(s, "bwr\r", "binary\r");
}
int leave_binary(State& s) {
  return enter_or_leave(s, "\r", "end binary\r");
}

void wait_for_text(State& s, const char* pattern) {
  const char* want = pattern;
  if (*want == '\0') return;
  std::uint8_t buf[TEXT_WAIT_READ];
  for (;;) {
    int n = link_read(s, buf, TEXT_WAIT_READ);
    for (int i = 0; i < n; ++i) {
      if (buf[i] != static_cast<std::uint8_t>(*want)) continue;
      if (*++want != '\0') continue;
      // The monitor's next words (often its prompt) belong to whoever reads next.
      s.port.unread(buf + i + 1, static_cast<std::size_t>(n - i - 1));
      return;
    }
    // No time limit, but ESC still gets the user out.
    terminate_on_abort(s, true);
    if (n == 0) idle_wait(s);
  }
}

}  // namespace dravel
