#pragma once
// Owns every change to the controlling terminal's mode and undoes it on every way out:
// the destructor, set_raw(false), and a signal-safe restore for fatal signals.
#include <termios.h>

namespace dravel::platform {

class TerminalMode {
 public:
  // Saves the settings of `fd` when it is a terminal; otherwise every call does nothing.
  explicit TerminalMode(int fd);
  ~TerminalMode();
  TerminalMode(const TerminalMode&) = delete;
  TerminalMode& operator=(const TerminalMode&) = delete;

  bool is_terminal() const { return saved_valid_; }
  // Raw input (no echo, no line editing, no signal or flow-control keys); output
  // processing is kept so "\n" still starts a new line.
  void set_raw(bool raw);
  // Puts the saved settings back.
  void restore();

  // For signal handlers: puts the saved settings back using only tcsetattr.
  static void emergency_restore();

 private:
  int fd_;
  bool saved_valid_ = false;
  termios saved_{};
};

// The raw settings made from a terminal's normal ones.
termios raw_mode_of(const termios& normal);

}  // namespace dravel::platform
