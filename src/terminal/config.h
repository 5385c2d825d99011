#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dravel {

struct State;

inline constexpr const char* PROGRAM_VERSION = "1.53";

struct PortConfig {
  unsigned io_address = 0x2F8;
  int irq = 3;
  long baud_rate = 57600;
};

// What the command line and the environment chose, beyond PortConfig.
struct Options {
  std::vector<std::string> args;  // without the program name
  std::string device;             // -d / DRAVELPORT, empty for the io_address default
  std::string initial_script;     // empty for none
  std::string load_dir;           // --load-dir: where the board's files may be; "" for here
  bool show_help = false;
  bool show_version = false;
  bool show_list = false;
  // --batch: the scripts named run in order with no keyboard, then the program ends.
  bool batch = false;
  std::vector<std::string> batch_scripts;
  std::size_t next_batch_script = 0;
  int timeout_seconds = 0;  // --timeout, 0 for none
  std::int64_t run_start = 0;
};

// An option that stands alone: no value follows it (-p and -B carry theirs glued on).
bool is_flag_option(const std::string& arg);

int banner_colour(const char* version);
void print_banner(State& s);
// Fills s.config from the defaults, the KRVB7100 text (or nullptr) and the -p options of
// s.options.args; prints the I/O line. Ends the program with status 1 when io_address is 0.
void read_port_config(State& s, const char* env_text);
// Ends the program with status 1 when the baud rate is 0.
void check_baud_rate(State& s);

}  // namespace dravel
