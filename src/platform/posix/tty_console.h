#pragma once
// The console on standard input and output: keys decoded from the terminal's
// sequences (or taken as they come when input is not a terminal), text written whole.
#include <cstdint>
#include <deque>

#include "platform/console.h"
#include "platform/key_decoder.h"
#include "platform/posix/terminal_mode.h"

namespace dravel::platform {

class TtyConsole : public Console {
 public:
  TtyConsole(TerminalMode& mode, int in_fd, int out_fd);

  bool key_waiting() override;
  int read_key_byte() override;
  void write(std::string_view text) override;
  void set_raw(bool raw) override { mode_.set_raw(raw); }

  // For the idle wait: the input fd while it can still deliver keys, else -1.
  int input_fd() const { return input_open_ ? in_fd_ : -1; }
  // Keys already decoded and waiting to be read.
  bool has_keys() const { return !keys_.empty(); }

 private:
  // Reads what input has within `timeout_ms`; true when bytes arrived.
  bool read_input(int timeout_ms);
  void settle_escape();

  TerminalMode& mode_;
  int in_fd_;
  int out_fd_;
  bool decode_;
  bool input_open_ = true;
  KeyDecoder decoder_;
  std::deque<std::uint8_t> keys_;
};

}  // namespace dravel::platform
