#pragma once
// The command line as data: one table of options (options.cpp), read once into Options, which
// start-up, the configuration and a batch run then read.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/line_stamper.h"

namespace dravel {

// What the command line chose; the environment's fallbacks are start-up's.
struct Options {
  std::string device;                    // -d; start-up puts DRAVELPORT here when none
  std::optional<std::string> port_text;  // the last -p's text, read as KRVB7100's
  std::optional<long> baud_rate;         // the last -B that reads as a number
  std::vector<std::string> scripts;      // the names that are no option, in order
  std::string load_dir;                  // --load-dir: where the board's files may be; "" for here
  bool show_help = false;
  bool show_version = false;
  bool show_list = false;
  // --batch: the scripts run in order with no keyboard, then the program ends.
  bool batch = false;
  int timeout_seconds = 0;              // --timeout, 0 for none
  std::optional<StampMode> timestamps;  // --timestamps: the log's lines stamped
  bool timestamps_screen = false;       // --timestamps-screen: the screen's too
  std::optional<bool> dtr, rts;         // --dtr, --rts: set at every open
  std::string junit_file;               // --junit: the batch run's report, "" for none
  // -b/--board: a named board from the board file (--config, else the usual place), whose
  // settings start-up takes where the command line and the environment gave none.
  std::string board;
  std::string config_file;
};

// The scripts start-up runs one after another (a named board's, then a batch run's or the
// interactive one's) and how far they have got: run-time state, kept apart from the options.
struct BatchProgress {
  std::vector<std::string> scripts;
  std::size_t next_script = 0;  // into scripts; a batch run's start is Core::run_limit's
};

struct OptionsResult {
  Options options;
  std::string error;  // the first usage error, without the "dravel: " around it; empty for none
  bool ok() const { return error.empty(); }
};

// Reads `args` (without the program name). Every argument is read even after an error, so
// --help, --version and --list still show when a usage error comes with them.
OptionsResult parse_options(const std::vector<std::string>& args);

}  // namespace dravel
