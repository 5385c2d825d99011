#include "loader/image_sender.h"

#include <algorithm>
#include <cstring>

#include "core/console_out.h"
#include "core/state.h"
#include "link/block_protocol.h"
#include "link/handshake.h"
#include "loader/binary_file.h"
#include "loader/exe_load.h"

namespace dravel {

namespace {
constexpr int PROGRESS_WIDTH = 16;  // what the progress format prints for ordinary values

// A labelled piece is a section and shows its name; a whole image shows none.
void print_piece_line(State& s, const char* name, const ImagePiece& p, const char* tail) {
  const unsigned long first = p.address;
  const unsigned long last = p.address + p.size - 1;
  const unsigned long size = p.size;
  if (p.label.empty())
    console_printf(s.console(), "%s  address:%08lx-%08lx size:%06lx  %s", name, first, last, size,
                   tail);
  else
    console_printf(s.console(), "%s [%6s] address:%08lx-%08lx size:%06lx  %s", name,
                   p.label.c_str(), first, last, size, tail);
}

}  // namespace

void print_transfer_progress(State& s, std::uint32_t sent, std::int64_t start_time) {
  console_printf(s.console(), "%06lx:%5dsec.", static_cast<unsigned long>(sent),
                 static_cast<int>(s.io.clock.seconds() - start_time));
  console_put_backspaces(s.console(), PROGRESS_WIDTH);
}

void say_transfer_stopped(State& s) {
  console_printf(s.console(), "\r\ntransfer stopped: a packet went bad %d times in a row\n\r",
                 PACKET_TRIES);
}

bool image_in_file(State& s, const char* name, const char* part, std::int64_t file_size,
                   std::uint64_t offset, std::uint32_t size) {
  std::uint64_t end = offset + size;
  std::uint64_t have = file_size < 0 ? 0 : static_cast<std::uint64_t>(file_size);
  if (size == 0 || end <= have) return true;
  std::uint64_t missing = std::min<std::uint64_t>(size, end - have);
  console_printf(s.console(), "\"%s\"%s%s ends early: %llu of %lu bytes at %06llx missing\n\r",
                 name, *part != '\0' ? " " : "", part, static_cast<unsigned long long>(missing),
                 static_cast<unsigned long>(size), static_cast<unsigned long long>(offset));
  return false;
}

int send_image_data(State& s, std::FILE* file, const char* name, std::uint32_t size,
                    std::int64_t start_time, int verbose) {
  std::uint8_t* buffer = s.transfer.data.data();
  std::uint32_t sent = 0;
  bool short_file = false;
  while (sent < size && !s.abort_flag) {
    std::uint32_t want = std::min<std::uint32_t>(TRANSFER_BUFFER_SIZE, size - sent);
    std::size_t got = short_file ? 0 : std::fread(buffer, 1, want, file);
    if (got < want) {
      // The header has announced `size` bytes; padding keeps the target's side in step.
      short_file = true;
      std::memset(buffer + got, 0, want - got);
      got = want;
    }
    if (send_packets(s, buffer, static_cast<std::int32_t>(got)) != 0) {
      say_transfer_stopped(s);
      return TRANSFER_STOPPED;
    }
    sent += static_cast<std::uint32_t>(got);
    if (verbose != 0) print_transfer_progress(s, sent, start_time);
  }
  if (verbose != 0) console_write(s.console(), "\r\n");
  if (short_file) {
    console_printf(s.console(), "\"%s\" read error: data ended early, sent zeros in its place\n\r",
                   name);
    return -1;
  }
  return 0;
}

bool image_pieces_in_file(State& s, const char* name, std::FILE* file, const LoadImage& image) {
  std::int64_t size = binary_file_size(file);
  for (const ImagePiece& p : image.pieces)
    if (!image_in_file(s, name, p.label.c_str(), size, p.offset, p.size)) return false;
  return true;
}

int send_load_image(State& s, std::FILE* file, const char* name, const LoadImage& image,
                    int verbose) {
  const std::int64_t start = s.io.clock.seconds();
  int data = 0;
  for (const ImagePiece& p : image.pieces) {
    std::fseek(file, static_cast<long>(p.offset), SEEK_SET);
    if (verbose != 0) print_piece_line(s, name, p, "");
    send_transfer_header(s, p.address, p.size);
    if (s.abort_flag) {
      if (verbose != 0 && !p.label.empty()) print_piece_line(s, name, p, "skip\n\r");
      break;
    }
    const int sent = send_image_data(s, file, name, p.size, start, verbose);
    if (sent != 0) data = -1;
    if (s.abort_flag || sent == TRANSFER_STOPPED) break;
  }
  leave_binary(s);
  if (s.abort_flag || data != 0) return -1;
  start_registers(s, image.pc, image.gp, image.sp, verbose);
  return 0;
}

}  // namespace dravel
