#include "loader/image_sender.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/console_out.h"
#include "link/binary_session.h"
#include "link/block_protocol.h"
#include "link/handshake.h"
#include "link/link.h"

namespace dravel {

namespace {

constexpr int PROGRESS_WIDTH = 16;  // what the progress format prints for ordinary values

// A labelled piece is a section and shows its name; a whole image shows none.
void print_piece_line(Link& link, const char* name, const ImagePiece& p, const char* tail) {
  const unsigned long first = p.address;
  const unsigned long last = p.address + p.size - 1;
  const unsigned long size = p.size;
  if (p.label.empty())
    console_printf(link.console(), "%s  address:%08lx-%08lx size:%06lx  %s", name, first, last,
                   size, tail);
  else
    console_printf(link.console(), "%s [%6s] address:%08lx-%08lx size:%06lx  %s", name,
                   p.label.c_str(), first, last, size, tail);
}

// "  PC=..., GP=..., SP=..." and the three register commands, in that order.
void start_registers(Link& link, const LoadImage& image, int verbose) {
  if (verbose != 0)
    console_printf(link.console(), "  PC=%08lx, GP=%08lx, SP=%08lx\r\n",
                   static_cast<unsigned long>(image.pc), static_cast<unsigned long>(image.gp),
                   static_cast<unsigned long>(image.sp));
  set_target_register(link, REGISTER_EPC, image.pc);
  set_target_register(link, REGISTER_GP, image.gp);
  set_target_register(link, REGISTER_SP, image.sp);
}

}  // namespace

void TransferProgress::report(std::uint32_t sent) const {
  if (!shown) return;
  console_printf(link.console(), "%06lx:%5dsec.", static_cast<unsigned long>(sent),
                 static_cast<int>(link.clock().seconds() - start_second));
  console_put_backspaces(link.console(), PROGRESS_WIDTH);
}

void TransferProgress::finish() const {
  if (shown) console_write(link.console(), "\r\n");
}

PieceSent send_piece_data(Link& link, std::FILE* file, std::uint32_t size,
                          const TransferProgress& progress) {
  std::vector<std::uint8_t> buffer(TRANSFER_BUFFER_SIZE);
  PieceSent r;
  std::uint32_t sent = 0;
  while (sent < size && !link.core.abort_flag) {
    const std::uint32_t want = std::min<std::uint32_t>(TRANSFER_BUFFER_SIZE, size - sent);
    std::size_t got = 0;
    if (!r.ran_short) {
      got = std::fread(buffer.data(), 1, want, file);
      if (got < want) {
        r.ran_short = true;
        if (std::ferror(file)) r.read_errno = errno;
      }
    }
    // The header promised `size` bytes: what the file no longer gives goes out as zeros,
    // so the monitor is not left waiting for them.
    std::memset(buffer.data() + got, 0, want - got);
    r.read += static_cast<std::uint32_t>(got);
    if (send_packets(link, buffer.data(), static_cast<std::int32_t>(want)) != 0) {
      say_transfer_stopped(link);
      r.stopped = true;
      return r;
    }
    sent += want;
    progress.report(sent);
  }
  progress.finish();
  return r;
}

CommandResult send_load_image(Link& link, std::FILE* file, const char* name, const LoadImage& image,
                              int verbose) {
  const TransferProgress progress{link, verbose != 0, link.clock().seconds()};
  bool failed = false;
  {
    BinarySession session(link, BinaryDirection::ToBoard);
    for (const ImagePiece& p : image.pieces) {
      std::fseek(file, static_cast<long>(p.offset), SEEK_SET);
      if (verbose != 0) print_piece_line(link, name, p, "");
      send_transfer_header(link, p.address, p.size);
      if (link.core.abort_flag) {
        if (verbose != 0 && !p.label.empty()) print_piece_line(link, name, p, "skip\n\r");
        break;
      }
      const PieceSent sent = send_piece_data(link, file, p.size, progress);
      if (sent.ran_short)
        console_printf(link.console(),
                       "\"%s\" read error: data ended early, sent zeros in its place\n\r", name);
      failed = failed || sent.ran_short || sent.stopped;
      if (sent.stopped) session.give_up();
      if (link.core.abort_flag || sent.stopped) break;
    }
  }
  if (link.core.abort_flag || failed) return CommandResult::failed();
  start_registers(link, image, verbose);
  return CommandResult::done();
}

}  // namespace dravel
