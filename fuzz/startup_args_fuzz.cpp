// Start-up: the KRVB7100 and DRAVELPORT texts and the command line, up to the terminal
// loop (which the console's ESC then ends).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_platform.h"
#include "terminal/startup.h"

namespace {

// Pieces of the input, separated by NUL: the KRVB7100 text, the DRAVELPORT text, then the
// arguments. An empty text stands for an unset variable.
std::string g_config, g_port;

const char* fuzz_getenv(const char* name) {
  std::string n = name;
  if (n == "KRVB7100") return g_config.empty() ? nullptr : g_config.c_str();
  if (n == "DRAVELPORT") return g_port.empty() ? nullptr : g_port.c_str();
  if (n == "DRAVELHIS") return dravel::fuzz::NO_HISTORY;
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dravel::fuzz::enter_scratch_dir();
  std::vector<std::string> pieces(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\0')
      pieces.emplace_back();
    else
      pieces.back().push_back(static_cast<char>(data[i]));
  }
  g_config = pieces[0];
  g_port = pieces.size() > 1 ? pieces[1] : "";
  std::vector<std::string> args;
  for (std::size_t i = 2; i < pieces.size(); ++i) args.push_back(pieces[i]);
  // Files the user names to read or write anywhere (a FIFO would block, a report lands where
  // it is told): the board file has its own target, the report's writer is the history's.
  for (const std::string& a : args)
    if (a.starts_with("--config") || a.starts_with("--junit")) return 0;

  dravel::fuzz::Rig rig;
  int status = dravel::run_program(rig.s(), args, fuzz_getenv);
  if (status < 0 || status > 255) std::abort();
  return 0;
}
