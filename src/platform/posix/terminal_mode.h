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
  // Raw input (no echo, no line editing, no signal or flow-control keys); "\n" still starts
  // a new line: by the kernel's output processing, or by the console (see below).
  void set_raw(bool raw);
  // True while raw mode has taken a plain "\n" -> "\r\n" translation (the usual OPOST ONLCR)
  // out of the kernel, and the console writer does it instead: the line discipline's output
  // path handles each new line apart, which made it most of the cost of showing a flood.
  bool console_translates_newlines() const { return console_translates_; }
  // Allowed only by a console that writes all its output to this terminal.
  void let_console_translate_newlines(bool allowed) { console_may_translate_ = allowed; }
  // Puts the saved settings back.
  void restore();

  // For signal handlers: puts the saved settings back using only tcsetattr.
  static void emergency_restore();

 private:
  int fd_;
  bool saved_valid_ = false;
  termios saved_{};
  bool console_may_translate_ = false;
  bool console_translates_ = false;
};

// The raw settings made from a terminal's normal ones.
termios raw_mode_of(const termios& normal);

}  // namespace dravel::platform
