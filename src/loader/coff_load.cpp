#include <cstring>

#include "core/console_out.h"
#include "core/state.h"
#include "link/block_protocol.h"
#include "link/handshake.h"
#include "loader/binary_file.h"
#include "loader/coff_headers.h"
#include "loader/exe_load.h"
#include "loader/image_sender.h"

namespace dravel {

namespace {

// The sections the board receives, in table order, each shown by its name.
LoadImage coff_image(const CoffHeaders& headers) {
  LoadImage image;
  for (const CoffSectionHeader& h : headers.sections) {
    if (!coff_section_wanted(h)) continue;
    char name[sizeof h.name + 1] = {};
    std::memcpy(name, h.name, sizeof h.name);
    image.pieces.push_back({h.physical_address, h.size, h.data_offset, name});
  }
  image.pc = headers.entry;
  image.gp = headers.gp_value;
  return image;
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
  const LoadImage image = coff_image(*headers);
  headers.reset();
  if (!image_pieces_in_file(s, name, file.get(), image)) {
    file.reset();
    leave_binary(s);
    return -1;
  }
  return send_load_image(s, file.get(), name, image, verbose);
}

}  // namespace dravel
