#pragma once
// The console on standard input and output: keys decoded from the terminal's
// sequences (or taken as they come when input is not a terminal), text written whole.
#include <cstdint>
#include <deque>
#include <string>

#include "platform/console.h"
#include "platform/key_decoder.h"
#include "platform/posix/terminal_mode.h"

namespace dravel::platform {

class TtyConsole : public Console {
 public:
  TtyConsole(TerminalMode& mode, int in_fd, int out_fd);

  bool key_waiting() override;
  KeyCode read_key() override;
  void write(std::string_view text) override;
  void set_raw(bool raw) override { mode_.set_raw(raw); }
  int key_decision_ms() override;

  // For the idle wait: the input fd while it can still deliver keys and there is room
  // to hold them, else -1.
  int input_fd() const { return input_open_ && keys_.size() < KEY_ROOM ? in_fd_ : -1; }
  // Takes in what input has now, so a caller that is not reading keys is not woken
  // again and again by the same bytes.
  void take_input() { read_input(0); }
  // Keys already decoded and waiting to be read.
  bool has_keys() const { return !keys_.empty(); }
  // How many keys have arrived so far; tells the idle wait whether any are new.
  std::uint64_t keys_arrived() const { return keys_arrived_; }

  static constexpr std::size_t KEY_ROOM = 1024;

 private:
  // Reads what input has within `timeout_ms`; true when bytes arrived.
  bool read_input(int timeout_ms);
  void settle_escape();
  void write_all(std::string_view text);

  TerminalMode& mode_;
  int in_fd_;
  int out_fd_;
  bool decode_;
  std::string translated_;
  bool input_open_ = true;
  KeyDecoder decoder_;
  std::deque<KeyCode> keys_;
  std::uint64_t keys_arrived_ = 0;
};

}  // namespace dravel::platform
