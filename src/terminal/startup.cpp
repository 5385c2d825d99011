#include "terminal/startup.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "commands/auto_script.h"
#include "core/console_out.h"
#include "core/exits.h"
#include "core/program_exit.h"
#include "core/run_outcome.h"
#include "core/signal_flag.h"
#include "core/state.h"
#include "lineinput/history.h"
#include "link/link_loss.h"
#include "link/serial_port.h"
#include "terminal/batch_run.h"
#include "terminal/config.h"
#include "terminal/program_watchers.h"
#include "terminal/terminal_loop.h"
#include "watch/watchers.h"

namespace dravel {

namespace {

constexpr const char* USAGE =
    "usage: dravel [-p<addr>,<irq>,<baud>] [-B<baud>] [-d <device>] [<script>]\n"
    "       dravel --batch [--timeout <seconds>] [-d <device>] ... <script>...\n"
    "\n"
    "  -p<text>     serial configuration \"%%x,%%d,%%ld\": I/O address (hex), IRQ, baud rate\n"
    "  -B<baud>     baud rate\n"
    "  -d <device>  serial device to open (a USB adapter, a pty); default by I/O address:\n"
    "               0x3F8 the first port (%s), anything else the second (%s)\n"
    "               rfc2217://HOST:PORT  a port on another machine (ser2net, labgrid)\n"
    "               socket://HOST:PORT   raw TCP; the rate cannot be set from here\n"
    "  <script>     an auto script to run at start\n"
    "  -l, --list   list the serial devices of this machine\n"
    "  --batch      run the scripts in order with no keyboard, then end: status 0, 3 when an\n"
    "               expect failed, 1 when another command failed or the device was lost\n"
    "  --timeout <seconds>  end a batch run that takes longer, status 124\n"
    "  --load-dir <dir>     where files the board asks for by name may be (default: here)\n"
    "  --help, --version\n"
    "\n"
    "environment:\n"
    "  KRVB7100     serial configuration, as -p\n"
    "  DRAVELPORT   serial device, as -d\n"
    "  DRAVELHIS    history file (default dravel.his)\n"
    "\n"
    "keys:\n"
    "  F1 help        F2 shell command   F3 auto script   F4 load      F5 log\n"
    "  F8 local edit  F9 F4 dload        F10 F4 dsave     F9 F5 log off\n"
    "  F10 F2 quit    ESC break (Ctrl-C to the board), then end\n"
    "\n"
    "load (F4) takes S-records, KV-R EXE, MIPS COFF and ELF executables (32-bit\n"
    "little-endian MIPS), told apart by their first bytes\n";

void print_serial_devices(State& s) {
  std::vector<std::string> lines = s.io.files.serial_devices();
  if (lines.empty()) console_write(s.console(), "no serial devices found\n");
  for (const std::string& line : lines) console_printf(s.console(), "%s\n", line.c_str());
}

// Takes --help, --version, --list and -d out of the way before the configuration is read.
void scan_own_options(State& s, GetEnv getenv_fn) {
  const std::vector<std::string>& args = s.options.args;
  std::string device;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") s.options.show_help = true;
    if (a == "--version") s.options.show_version = true;
    if (a == "--list" || a == "-l") s.options.show_list = true;
    if (a == "--load-dir" && i + 1 < args.size()) s.options.load_dir = args[++i];
    if (a.compare(0, 2, "-d") == 0) {
      if (a.size() > 2)
        device = a.substr(2);
      else if (i + 1 < args.size())
        device = args[++i];
    }
  }
  if (device.empty()) {
    const char* env = getenv_fn("DRAVELPORT");
    if (env != nullptr) device = env;
  }
  s.options.device = device;
}

// Step 4: -B in order, and the last readable file name as the initial script.
void scan_baud_and_script(State& s) {
  const std::vector<std::string>& args = s.options.args;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.compare(0, 2, "-B") == 0) {
      long baud = 0;
      if (std::sscanf(a.c_str() + 2, "%ld", &baud) == 1) s.config.baud_rate = baud;
    } else if (is_flag_option(a)) {
      continue;
    } else if (a == "--timeout" || a == "--load-dir") {
      ++i;
    } else if (a.compare(0, 2, "-d") == 0) {
      if (a.size() == 2) ++i;
    } else if (s.io.files.readable(a)) {
      s.options.initial_script = a;
    }
  }
}

int run(State& s, GetEnv getenv_fn) {
  scan_own_options(s, getenv_fn);
  if (s.options.show_help) {
    console_printf(s.console(), USAGE, platform::default_device_name(0x3F8).c_str(),
                   platform::default_device_name(0x2F8).c_str());
    return 0;
  }
  if (s.options.show_version) {
    console_printf(s.console(), "dravel %s\n", PROGRAM_VERSION);
    return 0;
  }
  if (s.options.show_list) {
    print_serial_devices(s);
    return 0;
  }

  if (!scan_batch_options(s)) return STATUS_USAGE;

  print_banner(s);
  read_port_config(s, getenv_fn("KRVB7100"));
  scan_baud_and_script(s);
  check_baud_rate(s);
  console_printf(s.console(), " BAUDRATE = %ld\n", s.config.baud_rate);
  // The I/O address no longer says what is opened: -d, DRAVELPORT or a URL may.
  console_printf(s.console(), " PORT = %s\n", chosen_device_name(s, s.config.io_address).c_str());

  const char* his = getenv_fn("DRAVELHIS");
  s.history_path = his != nullptr ? his : "dravel.his";
  history_load_file(s.history, s.console(), s.history_path);

  link_open(s, s.config.baud_rate);
  register_program_watchers(s);

  if (!s.options.batch && !s.options.initial_script.empty()) {
    std::string name = s.options.initial_script;
    auto_start(s, name.data());
  }

  terminal_loop(s);

  int status = s.options.batch ? s.outcome.batch_status() : std::max(s.outcome.exit_status, 0);
  if (int sig = pending_signal(); sig != 0) status = 128 + sig;
  serial_close(s);
  history_save_file(s.history, s.history_path);
  return status;
}

}  // namespace

int run_program(State& s, const std::vector<std::string>& args, GetEnv getenv_fn) {
  s.options = Options{};
  s.options.args = args;
  try {
    return run(s, getenv_fn);
  } catch (const ProgramExit& e) {
    return e.status;
  } catch (const LinkLost&) {
    // The loop catches it; should a wait ever run outside the loop, still end in order.
    close_saving_history(s);
    return 1;
  }
}

int run_program(platform::Platform& io, const std::vector<std::string>& args, GetEnv getenv_fn) {
  State s(io);
  return run_program(s, args, getenv_fn);
}

}  // namespace dravel
