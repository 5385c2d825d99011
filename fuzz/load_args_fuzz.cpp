// The load command's options and names, and a file name as the monitor sends it.
// No file exists here: what is fuzzed is the parsing up to the readability test.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/program_exit.h"
#include "fuzz_platform.h"
#include "loader/load_command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Up to the first NUL: a load command's argument; after it, what the monitor answers.
  const auto* nul = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  std::size_t arg_size = nul != nullptr ? static_cast<std::size_t>(nul - data) : size;

  {
    dravel::fuzz::Rig rig;
    std::vector<char> argument(data, data + arg_size);
    argument.push_back('\0');
    try {
      dravel::load_command(rig.s().link, argument.data());
    } catch (const dravel::ProgramExit&) {
    }
  }
  if (nul != nullptr) {
    dravel::fuzz::Rig rig;
    rig.serial.incoming.assign(reinterpret_cast<const char*>(nul + 1), data + size - nul - 1);
    try {
      if (dravel::load_request_callback(rig.s().link, rig.s().history, "", 1).ok())
        std::abort();  // nothing exists
    } catch (const dravel::ProgramExit&) {
    }
  }
  return 0;
}
