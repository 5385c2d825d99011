#pragma once
// Sending what a reader made: the one data loop over the block protocol (every executable
// format and dload use it), the progress it shows, and a whole LoadImage in one binary
// session followed by its registers.
#include <cstdint>
#include <cstdio>

#include "core/command_result.h"
#include "loader/load_image.h"

namespace dravel {

class Link;

// "%06lx:%5dsec." after each block, counted from `start_second`, and the backspaces that
// bring the cursor back over it; a line end when the piece is done. Silent unless shown.
struct TransferProgress {
  Link& link;
  bool shown;
  std::int64_t start_second;
  void report(std::uint32_t sent) const;
  void finish() const;
};

// What became of one piece's data.
struct PieceSent {
  bool stopped = false;    // a packet went bad PACKET_TRIES times in a row (said so)
  bool ran_short = false;  // the file ended early: zeros went in its place
  std::uint32_t read = 0;  // bytes the file gave
  int read_errno = 0;      // why it ended early, when the system said
};

// After its transfer header: `size` bytes from the current position of `file`, block by
// block. Stops early when abort_flag is set. Should the file end early, the rest goes out as
// zeros so the monitor's side of the transfer still completes.
PieceSent send_piece_data(Link& link, std::FILE* file, std::uint32_t size,
                          const TransferProgress& progress);

// In one binary session: each piece after its transfer header; then, when everything went,
// the registers. Failed on ESC, a short file or a transfer stopped, each said while the
// session still ran.
CommandResult send_load_image(Link& link, std::FILE* file, const char* name, const LoadImage& image,
                              int verbose);

}  // namespace dravel
