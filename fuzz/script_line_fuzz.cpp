// Auto script lines: reading them (CR LF, end-of-file byte, long lines) and running each
// one whose command touches no file: target lines go out whole or cut, never overrun.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/program_exit.h"
#include "fuzz_platform.h"
#include "link/tx_queue.h"
#include "terminal/auto_script.h"
#include "terminal/command_table.h"

namespace {

// Commands with files of their own (and their fuzz targets elsewhere) are skipped here.
bool touches_files(const char* line) {
  static const char* const skipped[] = {"dload", "ld", "dsave", "log"};
  char copy[dravel::SCRIPT_LINE_SIZE];
  std::memcpy(copy, line, sizeof copy);
  char* command = dravel::skip_blanks(dravel::skip_blanks(copy) + 5);
  for (const dravel::CommandRow& row : dravel::COMMAND_ROWS) {
    if (dravel::match_command_name(row.name, command) == nullptr) continue;
    for (const char* name : skipped)
      if (std::strcmp(row.name, name) == 0) return true;
    return false;
  }
  return false;
}

constexpr int STEP_LIMIT = 200;  // "auto-again" repeats a script for ever

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static dravel::fuzz::MemFile file;
  file.set(data, size);
  dravel::fuzz::Rig rig;
  dravel::State& s = rig.s();
  dravel::AutoStack& a = s.autos;

  auto frame = std::make_unique<dravel::AutoFrame>();
  if (!frame->file.open(file.path())) std::abort();
  a.top = std::move(frame);
  a.auto_depth = 1;
  try {
    if (!dravel::script_next_line(s)) return 0;
    for (int step = 0; step < STEP_LIMIT && a.active(); ++step) {
      const char* line = a.current_line;
      if (std::memchr(line, '\0', dravel::SCRIPT_LINE_SIZE) == nullptr) std::abort();
      bool local = dravel::is_local_line(line);
      if (local && touches_files(line)) {
        dravel::script_next_line(s);
        continue;
      }
      std::string expected;
      if (!local) {
        expected.assign(line, std::min<std::size_t>(std::strlen(line), dravel::SCRIPT_SEND_LIMIT));
        expected += '\r';
      }
      rig.serial.written.clear();
      const dravel::Outcome result = dravel::script_run_line(s);
      while (s.link.tx.count > 0) dravel::tx_send_one(s.link.tx, s.link.port);
      if (!local && !s.core.abort_flag && rig.serial.written != expected) std::abort();
      if (dravel::script_advance(s, result, true)) break;
      // A sleep or an expect would wait in the terminal loop: go past it.
      if (a.paused()) {
        a.sleep_seconds = 0;
        dravel::expect_clear(s);
        dravel::script_next_line(s);
      }
    }
  } catch (const dravel::ProgramExit&) {
  }
  return 0;
}
