#pragma once
// The data loop shared by the executable loaders (and usable by any file-to-target
// transfer): after the transfer header, the bytes go out in TransferBuffer-sized chunks
// with a progress report after each one.
#include <cstdint>
#include <cstdio>

#include "loader/load_image.h"

namespace dravel {

struct State;

// "%06lx:%5dsec." and the 16 backspaces that bring the cursor back over it.
void print_transfer_progress(State& s, std::uint32_t sent, std::int64_t start_time);

// True when the file holds `size` bytes from `offset` on. Otherwise prints what is missing
// (`part`, e.g. a section name, may be empty) so the load can fail before any header is sent.
bool image_in_file(State& s, const char* name, const char* part, std::int64_t file_size,
                   std::uint64_t offset, std::uint32_t size);

// send_image_data's result when a packet went bad PACKET_TRIES times and the transfer ended.
inline constexpr int TRANSFER_STOPPED = -2;

// The message for a transfer ended by a packet that kept going bad.
void say_transfer_stopped(State& s);

// Sends `size` bytes from the current position of `file`. Stops early when abort_flag is
// set, or with TRANSFER_STOPPED after saying so. Should the file end early, the rest goes
// out as zeros so the target's transfer still completes, and the result is -1 after a
// message naming `name`.
int send_image_data(State& s, std::FILE* file, const char* name, std::uint32_t size,
                    std::int64_t start_time, int verbose);

// The truncation check of every executable format: each piece must be in the file before
// anything of the load is sent.
bool image_pieces_in_file(State& s, const char* name, std::FILE* file, const LoadImage& image);

// With the monitor in binary write mode: each piece after its transfer header, then binary
// mode left and, when everything went, the registers set. -1 on ESC or a short file.
int send_load_image(State& s, std::FILE* file, const char* name, const LoadImage& image,
                    int verbose);

}  // namespace dravel
