#include "platform/windows/win_console.h"

#include <algorithm>

#include "platform/windows/console_control.h"
#include "platform/windows/console_keys.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
#ifndef DISABLE_NEWLINE_AUTO_RETURN
#define DISABLE_NEWLINE_AUTO_RETURN 0x0008
#endif
#ifndef ENABLE_VIRTUAL_TERMINAL_INPUT
#define ENABLE_VIRTUAL_TERMINAL_INPUT 0x0200
#endif

namespace dravel::platform {

namespace {

// Keys one at a time, unechoed, Ctrl-C as a key for the target, and key events rather than
// VT sequences.
constexpr DWORD COOKED_INPUT =
    ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_VIRTUAL_TERMINAL_INPUT;

// What a crash must put back; the one global, read only by the crash filter.
struct SavedModes {
  HANDLE in = INVALID_HANDLE_VALUE;
  HANDLE out = INVALID_HANDLE_VALUE;
  DWORD in_mode = 0;
  DWORD out_mode = 0;
  bool in_saved = false;
  bool out_saved = false;
};
SavedModes g_saved;
LPTOP_LEVEL_EXCEPTION_FILTER g_previous_filter = nullptr;

void restore_saved_modes() {
  if (g_saved.in_saved) SetConsoleMode(g_saved.in, g_saved.in_mode);
  if (g_saved.out_saved) SetConsoleMode(g_saved.out, g_saved.out_mode);
}

LONG WINAPI restore_on_crash(EXCEPTION_POINTERS* info) {
  restore_saved_modes();
  return g_previous_filter != nullptr ? g_previous_filter(info) : EXCEPTION_CONTINUE_SEARCH;
}

constexpr std::size_t STREAM_CHUNK = 256;

}  // namespace

WinConsole::WinConsole(ConsoleControl& control, bool keyboard) : control_(control) {
  in_ = keyboard ? GetStdHandle(STD_INPUT_HANDLE) : INVALID_HANDLE_VALUE;
  out_ = GetStdHandle(STD_OUTPUT_HANDLE);
  input_is_console_ =
      in_ != nullptr && in_ != INVALID_HANDLE_VALUE && GetConsoleMode(in_, &saved_in_mode_) != 0;
  output_is_console_ = out_ != nullptr && out_ != INVALID_HANDLE_VALUE &&
                       GetConsoleMode(out_, &saved_out_mode_) != 0;
  g_saved = {in_, out_, saved_in_mode_, saved_out_mode_, input_is_console_, output_is_console_};
  g_previous_filter = SetUnhandledExceptionFilter(restore_on_crash);
  apply_modes();
}

WinConsole::~WinConsole() {
  suspend();
  SetUnhandledExceptionFilter(g_previous_filter);
  g_saved = {};
}

void WinConsole::apply_modes() {
  if (output_is_console_) {
    // "\n" keeps its console meaning of a new line at column 0: the messages rely on it.
    DWORD mode = (saved_out_mode_ & ~DISABLE_NEWLINE_AUTO_RETURN) | ENABLE_PROCESSED_OUTPUT |
                 ENABLE_VIRTUAL_TERMINAL_PROCESSING;
    if (!SetConsoleMode(out_, mode))
      SetConsoleMode(out_, saved_out_mode_ | ENABLE_PROCESSED_OUTPUT);
  }
  if (input_is_console_)
    SetConsoleMode(in_, raw_ ? saved_in_mode_ & ~COOKED_INPUT : saved_in_mode_);
}

void WinConsole::set_raw(bool raw) {
  raw_ = raw;
  if (!suspended_) apply_modes();
}

void WinConsole::suspend() {
  suspended_ = true;
  restore_saved_modes();
}

void WinConsole::resume() {
  suspended_ = false;
  apply_modes();
}

std::size_t WinConsole::pump() {
  std::size_t added = 0;
  for (int n = control_.take_ctrl_c_keys(); n > 0; --n, ++added) pending_.push_back(key::CTRL_C);
  if (in_ == nullptr || in_ == INVALID_HANDLE_VALUE) return added;
  return added + (input_is_console_ ? pump_console() : pump_stream());
}

std::size_t WinConsole::pump_console() {
  std::size_t before = pending_.size();
  INPUT_RECORD records[32];
  for (;;) {
    DWORD waiting = 0;
    if (!GetNumberOfConsoleInputEvents(in_, &waiting) || waiting == 0) break;
    DWORD got = 0;
    if (!ReadConsoleInputA(in_, records, std::min<DWORD>(waiting, 32), &got) || got == 0) break;
    for (DWORD i = 0; i < got; ++i) {
      if (records[i].EventType != KEY_EVENT) continue;
      const KEY_EVENT_RECORD& k = records[i].Event.KeyEvent;
      ConsoleKeyEvent e;
      e.key_down = k.bKeyDown != 0;
      e.virtual_key = k.wVirtualKeyCode;
      e.ch = static_cast<std::uint8_t>(k.uChar.AsciiChar);
      e.repeat = k.wRepeatCount;
      append_keys(e, pending_);
    }
  }
  return pending_.size() - before;
}

// Input from a pipe or a file: the bytes as they come, whatever is there without waiting.
std::size_t WinConsole::pump_stream() {
  DWORD available = 0;
  switch (GetFileType(in_)) {
    case FILE_TYPE_PIPE:
      if (!PeekNamedPipe(in_, nullptr, 0, nullptr, &available, nullptr)) return 0;
      break;
    case FILE_TYPE_DISK:
      available = STREAM_CHUNK;
      break;
    default:
      return 0;
  }
  if (available == 0) return 0;
  std::uint8_t buf[STREAM_CHUNK];
  DWORD got = 0;
  if (!ReadFile(in_, buf, std::min<DWORD>(available, STREAM_CHUNK), &got, nullptr)) return 0;
  pending_.insert(pending_.end(), buf, buf + got);
  return got;
}

bool WinConsole::key_waiting() {
  if (pending_.empty()) pump();
  return !pending_.empty();
}

KeyCode WinConsole::read_key() {
  // Only after key_waiting() said yes; wait for a key all the same rather than invent one.
  while (pending_.empty()) {
    if (!input_is_console_ || WaitForSingleObject(in_, INFINITE) != WAIT_OBJECT_0) {
      if (pump() == 0) return 0;
    } else {
      pump();
    }
  }
  KeyCode k = pending_.front();
  pending_.pop_front();
  return k;
}

void WinConsole::write(std::string_view text) {
  if (out_ == nullptr || out_ == INVALID_HANDLE_VALUE) return;
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 0x8000));
    DWORD written = 0;
    if (!WriteFile(out_, text.data() + done, chunk, &written, nullptr) || written == 0) return;
    done += written;
  }
}

}  // namespace dravel::platform
