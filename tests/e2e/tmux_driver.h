#pragma once
// Runs a command in a pane of a private tmux server of fixed size, so end-to-end tests can
// press keys the way a real terminal sends them and read the screen a user would see.
#include <optional>
#include <string>
#include <vector>

#include "e2e/pty_harness.h"
#include "support/wire.h"

namespace dravel::e2e {

class TmuxPane {
 public:
  static bool available();

  // Starts `command` (a program and its arguments) in `dir` with `env` ("NAME=value") added.
  // The driver keeps its files in `dir` too.
  TmuxPane(const std::vector<std::string>& command, const std::string& dir,
           const std::vector<std::string>& env = {});
  ~TmuxPane();  // ends the server and whatever still runs in it
  TmuxPane(const TmuxPane&) = delete;
  TmuxPane& operator=(const TmuxPane&) = delete;

  // Keys by tmux's names ("F1", "Up", "Escape", "C-e", "Enter"), one send-keys each call.
  void keys(const std::vector<std::string>& names);
  // Text typed literally.
  void type(const std::string& text);

  // The visible screen, one line per row, trailing blanks removed.
  std::string screen();
  // Polls the screen until it contains `needle`; false after the deadline.
  bool wait_for(const std::string& needle, Seconds deadline = kDeadline);
  // Polls until the screen holds `needle` at least `count` times.
  bool wait_for_count(const std::string& needle, int count, Seconds deadline = kDeadline);
  // The command's exit status once it has ended, or nullopt at the deadline.
  std::optional<int> wait_exit(Seconds deadline = kDeadline);
  // After the command: the terminal is in the mode it had before the command started.
  bool terminal_restored() const;

 private:
  std::string tmux(const std::vector<std::string>& args, int* status = nullptr);
  std::string socket_;
  std::string dir_;
};

using test::count_of;

}  // namespace dravel::e2e
