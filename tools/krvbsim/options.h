#pragma once
// krvbsim's command line.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/faults.h"

namespace krvbsim {

struct Preload {
  std::string file;
  std::uint32_t address = 0;
};

struct Dump {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
  std::string file;
};

struct Options {
  long baud = 0;
  bool pace_host = false;  // the host's bytes reach the monitor at the same rate
  std::string wire_log;
  std::vector<Preload> loads;
  std::vector<Dump> dumps;
  std::string regs_file;
  std::string go_text;  // printed by "go", as a started program would
  std::string stats_file;
  std::uint64_t stream_seed = 1;
  bool map_all = false;
  dravel::sim::Faults faults;
  bool help = false;
  std::vector<std::string> command;  // after "--"; empty: serve until interrupted
};

// Fills `out`; on a bad command line returns false with the reason in `error`.
bool parse_options(const std::vector<std::string>& args, Options& out, std::string& error);

extern const char* const USAGE;

}  // namespace krvbsim
