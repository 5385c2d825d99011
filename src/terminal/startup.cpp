#include "terminal/startup.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/signal_flag.h"
#include "commands/timestamps.h"
#include "core/console_out.h"
#include "core/exits.h"
#include "core/program_exit.h"
#include "core/run_outcome.h"
#include "lineinput/history.h"
#include "link/line_control.h"
#include "link/link_loss.h"
#include "link/serial_port.h"
#include "terminal/auto_script.h"
#include "terminal/batch_run.h"
#include "terminal/board_start.h"
#include "terminal/command_table.h"
#include "terminal/config.h"
#include "terminal/program_watchers.h"
#include "terminal/state.h"
#include "terminal/terminal_loop.h"
#include "watch/watchers.h"

namespace dravel {

namespace {

constexpr const char* USAGE =
    "usage: dravel [-p<addr>,<irq>,<baud>] [-B<baud>] [-d <device>] [<script>]\n"
    "       dravel -b <board> [<option>...] [<script>]\n"
    "       dravel --batch [--timeout <seconds>] [--junit <file>] [<option>...] <script>...\n"
    "\n"
    "  -p<text>     serial configuration \"%%x,%%d,%%ld\": I/O address (hex), IRQ, baud rate\n"
    "  -B<baud>     baud rate\n"
    "  -d <device>  serial device to open (a USB adapter, a pty); default by I/O address:\n"
    "               0x3F8 the first port (%s), anything else the second (%s)\n"
    "               rfc2217://HOST:PORT  a port on another machine (ser2net, labgrid)\n"
    "               socket://HOST:PORT   raw TCP; the rate cannot be set from here\n"
    "  -b, --board <name>   take device, rate, log, history, scripts and time stamps from\n"
    "               the named board; the command line and the environment win over it\n"
    "  --config <file>      the board file (default %s)\n"
    "  --timestamps [abs|delta|iso]  start each line of the board's text with its time\n"
    "  --timestamps-screen  on the screen as well as in the log\n"
    "  --dtr on|off, --rts on|off    the modem lines' state when the device is opened\n"
    "  <script>     an auto script to run at start (after the board's)\n"
    "  -l, --list   list the serial devices of this machine, then the named boards\n"
    "  --batch      run the scripts in order with no keyboard, then end: status 0, 3 when an\n"
    "               expect failed, 1 when another command failed or the device was lost\n"
    "  --timeout <seconds>  end a batch run that takes longer, status 124\n"
    "  --junit <file>       with --batch: write the run as a JUnit XML report\n"
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
    "  F6 stamps      F8 local edit      F9 F4 dload      F10 F4 dsave F9 F5 log off\n"
    "  F10 F2 quit    ESC break (Ctrl-C to the board), then end\n"
    "\n"
    "script lines \"local break [ms]\", \"local dtr|rts on|off|pulse <ms>\" and\n"
    "\"local timestamps abs|delta|iso|off [screen]\" drive the line and the log's time stamps\n"
    "\n"
    "load (F4) takes S-records, KV-R EXE, MIPS COFF and ELF executables (32-bit\n"
    "little-endian MIPS), told apart by their first bytes\n";

void print_serial_devices(State& s) {
  std::vector<std::string> lines = s.io.files.serial_devices();
  if (lines.empty()) console_write(s.console(), "no serial devices found\n");
  for (const std::string& line : lines) console_printf(s.console(), "%s\n", line.c_str());
}

// The last name on the command line that is a readable file, or "" for none.
std::string initial_script(State& s) {
  const std::vector<std::string>& names = s.options.scripts;
  for (auto it = names.rbegin(); it != names.rend(); ++it)
    if (s.io.files.readable(*it)) return *it;
  return "";
}

// -d / DRAVELPORT (a path or a network URL), else the port of the I/O address.
std::string chosen_device_name(const State& s) {
  return s.options.device.empty() ? platform::default_device_name(s.config.io_address)
                                  : s.options.device;
}

// --timestamps and the modem lines' state at open; a batch run that cannot set a line it was
// told to fails before its first script, since the board is not in the state the job needs.
void open_with_line_options(State& s) {
  const Options& o = s.options;
  const StampMode none = o.timestamps_screen ? StampMode::Abs : StampMode::Off;
  set_timestamps(s.stamps, s.log_file, o.timestamps.value_or(none), o.timestamps_screen);
  s.link.lines.modem[static_cast<int>(ModemLine::Dtr)] = o.dtr;
  s.link.lines.modem[static_cast<int>(ModemLine::Rts)] = o.rts;
  link_open(s.link, chosen_device_name(s), s.config.baud_rate);
  if (s.link.port.is_open() && !line_controls_at_open(s.link) && o.batch)
    s.outcome.command_failed = true;
}

// -b: the board's settings where the command line and the environment left them open.
// False, after saying why, when the board cannot be used: nothing is opened then.
bool choose_board(State& s, const ConfigEnv& env) {
  // A file --config names is read even without -b: its faults should not wait for first use.
  if (s.options.board.empty() && s.options.config_file.empty()) return true;
  const BoardFileResult read = read_boards(s.options.config_file, env);
  if (read.ok && s.options.board.empty()) return true;
  BoardLookup found;
  if (read.ok) found = find_board(read.file, s.options.board);
  const std::string& error = read.ok ? found.error : read.error;
  if (!error.empty()) {
    console_printf(s.console(), "dravel: %s\n", error.c_str());
    s.junit.end_reason = error;
    return false;
  }
  s.board = *found.board;
  take_board_options(s.options, *s.board);
  return true;
}

int run(State& s, const OptionsResult& parsed, GetEnv getenv_fn) {
  s.options = parsed.options;
  if (s.options.device.empty()) {
    const char* env = getenv_fn("DRAVELPORT");
    if (env != nullptr) s.options.device = env;
  }
  const ConfigEnv config = config_env(platform::WINDOWS, getenv_fn);
  if (s.options.show_help) {
    console_printf(
        s.console(), USAGE, platform::default_device_name(0x3F8).c_str(),
        platform::default_device_name(0x2F8).c_str(),
        platform::WINDOWS ? "%APPDATA%\\dravel\\boards.conf" : "~/.config/dravel/boards.conf");
    return 0;
  }
  if (s.options.show_version) {
    console_printf(s.console(), "dravel %s\n", PROGRAM_VERSION);
    return 0;
  }
  if (s.options.show_list) {
    print_serial_devices(s);
    return list_boards(s, s.options.config_file, config) ? 0 : STATUS_FAILED;
  }

  if (!parsed.ok()) {
    console_printf(s.console(), "dravel: %s (dravel --help tells more)\n", parsed.error.c_str());
    return STATUS_USAGE;
  }
  if (s.options.batch) junit_begin(s);
  // An unknown board ends the run as a device that cannot be used would, before any is opened.
  if (!choose_board(s, config)) return STATUS_FAILED;
  if (s.options.batch) batch_begin(s);

  print_banner(s);
  read_port_config(s, getenv_fn("KRVB7100"));
  if (s.options.baud_rate) s.config.baud_rate = *s.options.baud_rate;
  check_baud_rate(s);
  console_printf(s.console(), " BAUDRATE = %ld\n", s.config.baud_rate);
  // The I/O address no longer says what is opened: -d, DRAVELPORT or a URL may.
  console_printf(s.console(), " PORT = %s\n", chosen_device_name(s).c_str());

  s.history_path = history_file_name(getenv_fn("DRAVELHIS"), s.board ? &*s.board : nullptr);
  history_load_file(s.history, s.console(), s.history_path);
  if (s.board && !open_board_log(s, *s.board, s.io.clock.milliseconds())) return STATUS_FAILED;
  s.batch_progress.scripts =
      start_scripts(s.options, s.board ? &*s.board : nullptr, initial_script(s));

  open_with_line_options(s);
  register_program_watchers(s);

  if (!s.options.batch) next_start_script(s);

  terminal_loop(s);

  int status = s.options.batch ? s.outcome.batch_status() : std::max(s.outcome.exit_status, 0);
  if (int sig = pending_signal(); sig != 0) status = 128 + sig;
  s.core.hooks.run_exit_actions();
  return status;
}

int run_ended(State& s, const OptionsResult& parsed, GetEnv getenv_fn) {
  try {
    return run(s, parsed, getenv_fn);
  } catch (const ProgramExit& e) {
    return e.status;
  } catch (const LinkLost&) {
    // The loop catches it; should a wait ever run outside the loop, still end in order.
    s.core.hooks.run_exit_actions();
    return 1;
  }
}

// Every end passes here with its status, which the exit actions do not know: the JUnit
// report is written here, for a run that timed out or lost its device as for one that passed.
int run_guarded(State& s, const OptionsResult& parsed, GetEnv getenv_fn) {
  const int status = run_ended(s, parsed, getenv_fn);
  if (!junit_write(s, status) && status == 0) return STATUS_FAILED;
  return status;
}

}  // namespace

int run_program(State& s, const std::vector<std::string>& args, GetEnv getenv_fn) {
  return run_guarded(s, parse_options(args), getenv_fn);
}

int run_program(platform::Platform& io, const OptionsResult& parsed, GetEnv getenv_fn) {
  State s(io);
  return run_guarded(s, parsed, getenv_fn);
}

}  // namespace dravel
