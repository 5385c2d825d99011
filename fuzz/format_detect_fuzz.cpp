// A file offered for loading: format detection, then the EXE or COFF headers as the loaders
// read them, up to the first byte sent (where the console's ESC ends the program).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/program_exit.h"
#include "fuzz_platform.h"
#include "loader/binary_file.h"
#include "loader/coff_image.h"
#include "loader/exe_image.h"
#include "loader/load_command.h"

namespace {

dravel::LoadFormat expected_format(const std::uint8_t* d, std::size_t n) {
  if (n >= 2 && d[0] == 'S' && d[1] >= '0' && d[1] <= '9') return dravel::LoadFormat::Srec;
  if (n >= 8 && std::memcmp(d, "KV-R EXE", 8) == 0) return dravel::LoadFormat::Exe;
  if (n >= 2 && d[0] == 0x62 && d[1] == 0x01) return dravel::LoadFormat::Coff;
  if (n >= 4 && std::memcmp(d,
                            "\x7f"
                            "ELF",
                            4) == 0)
    return dravel::LoadFormat::Elf;
  return dravel::LoadFormat::Unknown;
}

void check_coff_headers(const std::uint8_t* data, std::size_t file_size) {
  auto read_at = [&](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset > file_size || n > file_size - offset) return false;
    std::memcpy(out, data + offset, n);
    return true;
  };
  auto r = dravel::coff_read_headers(read_at, file_size);
  if (!r.message.empty()) return;
  // The section table was in the file: it cannot be longer than the file.
  std::size_t table = r.headers.sections.size() * dravel::COFF_SECTION_HEADER_SIZE;
  if (r.headers.sections.empty() ||
      table + dravel::COFF_FILE_HEADER_SIZE + dravel::COFF_OPTIONAL_HEADER_SIZE > file_size)
    std::abort();
  for (const auto& section : r.headers.sections) dravel::coff_section_wanted(section);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static dravel::fuzz::MemFile file;
  file.set(data, size);
  const char* path = file.path().c_str();
  dravel::fuzz::Rig rig;
  dravel::State& s = rig.s();

  std::string why;
  dravel::LoadFormat format = dravel::detect_format(path, why);
  if (format != expected_format(data, size)) std::abort();

  std::uint8_t raw[dravel::EXE_HEADER_READ] = {};
  std::memcpy(raw, data, std::min(size, sizeof raw));
  dravel::exe_stack_pointer(dravel::parse_exe_header(raw));
  check_coff_headers(data, size);

  try {
    if (format == dravel::LoadFormat::Exe || format == dravel::LoadFormat::Coff)
      dravel::load_file(s.link, path, 1);
  } catch (const dravel::ProgramExit&) {
  }
  return 0;
}
