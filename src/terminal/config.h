#pragma once

namespace dravel {

struct State;

inline constexpr const char* PROGRAM_VERSION = "1.53";

struct PortConfig {
  unsigned io_address = 0x2F8;
  int irq = 3;
  long baud_rate = 57600;
};

int banner_colour(const char* version);
void print_banner(State& s);
// Fills s.config from the defaults (a named board's rate among them), the KRVB7100 text (or
// nullptr) and the last -p option; prints the I/O line. Ends the program with status 1 when
// io_address is 0.
void read_port_config(State& s, const char* env_text);
// Ends the program with status 1 when the baud rate is 0.
void check_baud_rate(State& s);

}  // namespace dravel
