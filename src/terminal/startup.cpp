#include "terminal/startup.h"

#include <cstdio>
#include <cstdlib>

#include "commands/auto_script.h"
#include "core/program_exit.h"
#include "core/signal_flag.h"
#include "core/state.h"
#include "lineinput/console_out.h"
#include "lineinput/history.h"
#include "link/link_loss.h"
#include "link/serial_port.h"
#include "terminal/config.h"
#include "terminal/terminal_loop.h"
#include "watch/watchers.h"

namespace dravel {

namespace {

constexpr const char* USAGE =
    "usage: dravel [-p<addr>,<irq>,<baud>] [-B<baud>] [-d <device>] [<script>]\n"
    "\n"
    "  -p<text>     serial configuration \"%%x,%%d,%%ld\": I/O address (hex), IRQ, baud rate\n"
    "  -B<baud>     baud rate\n"
    "  -d <device>  serial device to open (a USB adapter, a pty); default by I/O address:\n"
    "               0x3F8 the first port (%s), anything else the second (%s)\n"
    "  <script>     an auto script to run at start\n"
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

// Takes --help, --version and -d out of the way before the configuration is read.
void scan_own_options(State& s, GetEnv getenv_fn) {
  const std::vector<std::string>& args = s.options.args;
  std::string device;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") s.options.show_help = true;
    if (a == "--version") s.options.show_version = true;
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
    } else if (a.compare(0, 2, "-p") == 0 || a == "--help" || a == "--version") {
      continue;
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

  print_banner(s);
  read_port_config(s, getenv_fn("KRVB7100"));
  scan_baud_and_script(s);
  check_baud_rate(s);
  console_printf(s.console(), " BAUDRATE = %ld\n", s.config.baud_rate);

  const char* his = getenv_fn("DRAVELHIS");
  s.history_path = his != nullptr ? his : "dravel.his";
  history_load_file(s.history, s.console(), s.history_path);

  link_open(s, s.config.baud_rate);
  register_program_watchers(s);

  if (!s.options.initial_script.empty()) {
    std::string name = s.options.initial_script;
    auto_start(s, name.data());
  }

  terminal_loop(s);

  int status = 0;
  if (int sig = pending_signal(); sig != 0) status = 128 + sig;
  serial_close(s);
  history_save_file(s.history, s.history_path);
  return status;
}

}  // namespace

namespace {

void close_saving_history(State& s) {
  serial_close(s);
  history_save_file(s.history, s.history_path);
}

}  // namespace

void exit_saving_history(State& s, int status) {
  close_saving_history(s);
  end_program(status);
}

void terminate_on_abort(State& s, bool poll_first) {
  if (poll_first) poll_keyboard(s);
  if (!s.abort_flag) return;
  console_write(s.console(), "\nTerminate by user!\n");
  exit_saving_history(s, 1);
}

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
