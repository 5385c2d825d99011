#include <cstring>

#include "core/state.h"
#include "lineinput/console_out.h"
#include "link/block_protocol.h"
#include "link/handshake.h"
#include "loader/binary_file.h"
#include "loader/coff_headers.h"
#include "loader/exe_load.h"
#include "loader/image_sender.h"

namespace dravel {

namespace {

struct SectionName {
  char text[sizeof CoffSectionHeader::name + 1] = {};
  explicit SectionName(const CoffSectionHeader& h) { std::memcpy(text, h.name, sizeof h.name); }
};

void print_section_line(State& s, const char* name, const CoffSectionHeader& h, const char* tail) {
  console_printf(s.console(), "%s [%6s] address:%08lx-%08lx size:%06lx  %s", name,
                 SectionName(h).text, static_cast<unsigned long>(h.physical_address),
                 static_cast<unsigned long>(h.physical_address + h.size - 1),
                 static_cast<unsigned long>(h.size), tail);
}

// Every section that will be sent must be in the file before the first header goes out.
bool sections_in_file(State& s, const char* name, std::FILE* file, const CoffHeaders& headers) {
  std::int64_t size = binary_file_size(file);
  for (const CoffSectionHeader& h : headers.sections) {
    if (!coff_section_wanted(h)) continue;
    if (!image_in_file(s, name, SectionName(h).text, size, h.data_offset, h.size)) return false;
  }
  return true;
}

}  // namespace

int coff_load(State& s, const char* name, int verbose) {
  BinaryFile file = open_binary(name);
  if (!file) {
    console_printf(s.console(), "Can't open \"%s\"\n\r", name);
    return -1;
  }
  std::optional<CoffHeaders> headers = coff_read_headers(s, file.get());
  if (!headers) return -1;
  if (!sections_in_file(s, name, file.get(), *headers)) {
    file.reset();
    leave_binary(s);
    return -1;
  }

  const std::int64_t start = s.io.clock.seconds();
  int data = 0;
  for (const CoffSectionHeader& h : headers->sections) {
    if (!coff_section_wanted(h)) continue;
    std::fseek(file.get(), static_cast<long>(h.data_offset), SEEK_SET);
    if (verbose != 0) print_section_line(s, name, h, "");
    send_transfer_header(s, h.physical_address, h.size);
    if (s.abort_flag) {
      if (verbose != 0) print_section_line(s, name, h, "skip\n\r");
      break;
    }
    const int sent = send_image_data(s, file.get(), name, h.size, start, verbose);
    if (sent != 0) data = -1;
    if (s.abort_flag || sent == TRANSFER_STOPPED) break;
  }
  std::uint32_t entry = headers->entry;
  std::uint32_t gp = headers->gp_value;
  headers.reset();
  file.reset();
  leave_binary(s);
  if (s.abort_flag || data != 0) return -1;
  start_registers(s, entry, gp, DEFAULT_STACK_POINTER, verbose);
  return 0;
}

}  // namespace dravel
