#include "terminal/config.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/console_out.h"
#include "core/program_exit.h"
#include "terminal/state.h"

namespace dravel {

namespace {

struct IrqReport {
  int vector;
  int controller;
};

IrqReport irq_report(int irq) {
  if (irq < 8) return {0x08 + irq, 0x20};
  return {0x70 + (irq - 8), 0xA0};
}

// Parses "%x,%d,%ld" over the values so far; unconverted fields keep them.
void parse_config_text(PortConfig& c, const char* text) {
  unsigned address = 0;
  int irq = 0;
  long baud = 0;
  int n = std::sscanf(text, "%x,%d,%ld", &address, &irq, &baud);
  if (n >= 1) c.io_address = address;
  if (n >= 2) c.irq = irq;
  if (n >= 3) c.baud_rate = baud;
}

void config_error(State& s, const char* first_line) {
  console_write(s.console(), first_line);
  console_write(s.console(), "abort !\n");
  console_write(s.console(), "Please set KRVB7100 envelopment variable\n");
  end_program(1);
}

}  // namespace

int banner_colour(const char* version) {
  const char* dot = std::strchr(version, '.');
  int n = 0;
  if (dot != nullptr)
    for (const char* p = dot + 1; std::isdigit(static_cast<unsigned char>(*p)); ++p)
      n = n * 10 + (*p - '0');
  return n % 6 + 31;
}

void print_banner(State& s) {
  int colour = banner_colour(PROGRAM_VERSION);
  console_printf(s.console(),
                 "\x1b[%d;1mdravel -- Korvane debug system console program\n"
                 "   for KRVB7100 1996/05/10 00:00:03\n"
                 "   type \x1b[7m F1 \x1b[0;%d;1m  ----> display help\n"
                 "   when hung up try type \x1b[7m ESC \x1b[0m\n",
                 colour, colour);
}

void read_port_config(State& s, const char* env_text) {
  s.config = PortConfig{};
  // A named board's rate stands in for the default: KRVB7100, -p and -B still win over it.
  if (s.board && s.board->baud != 0) s.config.baud_rate = s.board->baud;
  if (env_text != nullptr) parse_config_text(s.config, env_text);
  if (s.options.port_text) parse_config_text(s.config, s.options.port_text->c_str());

  if (s.config.io_address == 0) config_error(s, "I/O address not define !\n");

  console_printf(s.console(), " I/O addr = 0x%04X", s.config.io_address);
  if (s.config.irq != 0) {
    if (s.config.irq >= 0 && s.config.irq <= 15) {
      IrqReport r = irq_report(s.config.irq);
      console_printf(s.console(), ", IRQ=%d(vect=0x%04X,8259=%02x)", s.config.irq, r.vector,
                     r.controller);
    } else {
      console_printf(s.console(), ", IRQ=%d(no vector)", s.config.irq);
    }
  }
  console_write(s.console(), "\n");
}

void check_baud_rate(State& s) {
  if (s.config.baud_rate == 0) config_error(s, "BAUDRATE not define !\n");
}

}  // namespace dravel
