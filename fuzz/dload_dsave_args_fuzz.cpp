// dload and dsave arguments, in an empty scratch directory holding one small image "a".
// Past the parsing, the first handshake meets ESC and the program ends there.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/program_exit.h"
#include "fuzz_platform.h"
#include "loader/dload_dsave.h"

namespace {

// -1 for a command that failed, 0 for one that did its work, 1 after ESC, 2 another exit.
int run(dravel::CommandResult (*command)(dravel::Link&, char*), const std::uint8_t* text,
        std::size_t size) {
  dravel::fuzz::Rig rig;
  std::vector<char> argument(text, text + size);
  argument.push_back('\0');
  try {
    return command(rig.s().link, argument.data()).ok() ? 0 : -1;
  } catch (const dravel::ProgramExit& e) {
    return e.status == 1 ? 1 : 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dravel::fuzz::enter_scratch_dir();
  // Names stay inside the scratch directory.
  if (std::memchr(data, '/', size) != nullptr) return 0;
  std::error_code ec;
  if (std::filesystem::file_size("a", ec) != 5 || ec) {
    if (std::FILE* f = std::fopen("a", "wb")) {
      std::fputs("image", f);
      std::fclose(f);
    }
  }
  // Up to the first NUL: dload's argument; after it, dsave's.
  const auto* nul = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  std::size_t first = nul != nullptr ? static_cast<std::size_t>(nul - data) : size;
  int r = run(dravel::dload_command, data, first);
  if (r != -1 && r != 1) std::abort();
  if (nul != nullptr) {
    r = run(dravel::dsave_command, nul + 1, size - first - 1);
    if (r != -1 && r != 1) std::abort();
  }
  dravel::fuzz::clear_scratch_dir("a");
  return 0;
}
