// krvbsim: a simulated KRVB7100 debug monitor on a pseudo-terminal.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "child.h"
#include "options.h"
#include "pty.h"
#include "serve.h"
#include "session_files.h"
#include "signals.h"
#include "sim/monitor.h"

namespace {

int fail(const std::string& why) {
  std::fprintf(stderr, "krvbsim: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace krvbsim;
  Options options;
  std::string error;
  if (!parse_options(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "krvbsim: %s\n%s", error.c_str(), USAGE);
    return 2;
  }
  if (options.help) {
    std::fputs(USAGE, stdout);
    return 0;
  }

  dravel::sim::Monitor monitor;
  if (options.map_all) monitor.memory().map_everything();
  monitor.faults() = options.faults;
  monitor.set_program_output(options.go_text);
  monitor.set_baud(options.baud);
  monitor.set_stream_seed(options.stream_seed);
  if (!preload(monitor, options.loads, error)) return fail(error);
  WireLog wire_log;
  if (!options.wire_log.empty() && !wire_log.open(options.wire_log, monitor, error))
    return fail(error);

  SignalPipe signals;
  if (!signals.ok()) return fail("cannot set up signal handling");
  Pty pty;
  if (!pty.open(error)) return fail(error);
  monitor.start();

  // Without a wire log the trace is not kept, so a long session does not grow.
  monitor.trace().set_keep(!options.wire_log.empty());
  auto write_log = [&wire_log] { wire_log.write(); };
  const long host_baud = options.pace_host ? options.baud : 0;
  Child child;
  int status = 0;
  if (options.command.empty()) {
    std::printf("krvbsim: serving on %s\n", pty.path().c_str());
    std::fflush(stdout);
    status = serve(monitor, pty, signals, nullptr, write_log, host_baud);
  } else {
    if (!child.start(options.command, pty.path(), error)) return fail(error);
    status = serve(monitor, pty, signals, &child, write_log, host_baud);
    // Only a failed pty ends the loop before the child: do not leave it behind.
    child.signal(SIGTERM);
  }

  std::vector<std::string> errors;
  write_results(monitor, options, errors);
  for (const std::string& e : errors) std::fprintf(stderr, "krvbsim: %s\n", e.c_str());
  if (!errors.empty() && status == 0) status = 1;
  return status;
}
