#pragma once
// The Win32 console: key events in through the console input API, text out with the console's
// virtual-terminal processing for the ANSI sequences. Owns every console mode change.
#include <windows.h>

#include <cstdint>
#include <deque>

#include "platform/console.h"

namespace dravel::platform {

class ConsoleControl;

class WinConsole : public Console {
 public:
  // Saves the modes it finds and turns on ANSI output; the destructor puts them back.
  // Ctrl-C presses that `control` caught as events join the keys.
  // Without `keyboard` (a batch run) standard input is never read and its mode never changed.
  explicit WinConsole(ConsoleControl& control, bool keyboard = true);
  WinConsole(const WinConsole&) = delete;
  WinConsole& operator=(const WinConsole&) = delete;
  ~WinConsole() override;

  bool key_waiting() override;
  KeyCode read_key() override;
  void write(std::string_view text) override;
  void set_raw(bool raw) override;

  // The modes as they were at start, for a shell command; resume() takes ours back.
  void suspend();
  void resume();

  // Moves whatever input is waiting into the keys; returns how many keys it added.
  std::size_t pump();
  // The handle to wait on for keys, or nullptr when input is not a console (a pipe or a file).
  HANDLE waitable_input() const { return input_is_console_ ? in_ : nullptr; }
  bool output_is_console() const { return output_is_console_; }

 private:
  std::size_t pump_console();
  std::size_t pump_stream();
  void apply_modes();

  ConsoleControl& control_;
  HANDLE in_ = INVALID_HANDLE_VALUE;
  HANDLE out_ = INVALID_HANDLE_VALUE;
  bool input_is_console_ = false;
  bool output_is_console_ = false;
  DWORD saved_in_mode_ = 0;
  DWORD saved_out_mode_ = 0;
  bool raw_ = false;
  bool suspended_ = false;
  std::deque<KeyCode> pending_;
};

}  // namespace dravel::platform
