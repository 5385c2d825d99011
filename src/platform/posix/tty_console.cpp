#include "platform/posix/tty_console.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/signal_flag.h"
#include "platform/posix/system_clock.h"

namespace dravel::platform {

namespace {

bool same_terminal(int a, int b) {
  struct stat sa {};
  struct stat sb {};
  return ::isatty(a) == 1 && ::isatty(b) == 1 && ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 &&
         sa.st_rdev == sb.st_rdev;
}

}  // namespace

TtyConsole::TtyConsole(TerminalMode& mode, int in_fd, int out_fd)
    : mode_(mode),
      in_fd_(in_fd),
      out_fd_(out_fd),
      decode_(mode.is_terminal()),
      input_open_(in_fd >= 0) {
  mode.let_console_translate_newlines(same_terminal(in_fd, out_fd));
}

bool TtyConsole::read_input(int timeout_ms) {
  if (!input_open_) return false;
  pollfd p{in_fd_, POLLIN, 0};
  if (::poll(&p, 1, timeout_ms) <= 0) return false;
  std::uint8_t buf[256];
  ssize_t n = ::read(in_fd_, buf, sizeof buf);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return false;
  if (n <= 0) {
    input_open_ = false;  // end of input or a hung-up terminal: never poll it again
    return false;
  }
  std::int64_t now = steady_ms();
  std::size_t before = keys_.size();
  for (ssize_t i = 0; i < n; ++i) {
    if (decode_)
      decoder_.feed(buf[i], now);
    else
      keys_.push_back(buf[i]);
  }
  while (decoder_.has_output()) keys_.push_back(decoder_.take());
  keys_arrived_ += keys_.size() - before;
  return true;
}

// A sequence has begun: wait its short look-ahead for the rest, then settle it.
void TtyConsole::settle_escape() {
  while (keys_.empty() && decoder_.pending()) {
    std::int64_t left = decoder_.ms_until_expiry(steady_ms());
    if (left > 0 && input_open_ && pending_signal() == 0) {
      read_input(static_cast<int>(left));
    } else {
      decoder_.flush();
    }
    while (decoder_.has_output()) {
      keys_.push_back(decoder_.take());
      ++keys_arrived_;
    }
  }
}

int TtyConsole::key_decision_ms() {
  if (!decoder_.pending()) return -1;
  std::int64_t left = decoder_.ms_until_expiry(steady_ms());
  return left > 0 ? static_cast<int>(left) : 0;
}

bool TtyConsole::key_waiting() {
  if (!keys_.empty()) return true;
  read_input(0);
  settle_escape();
  return !keys_.empty();
}

KeyCode TtyConsole::read_key() {
  // Only asked for after key_waiting(); still, never wait past the end of input.
  while (keys_.empty() && input_open_ && pending_signal() == 0) {
    read_input(100);
    settle_escape();
  }
  if (keys_.empty()) return 0;
  KeyCode k = keys_.front();
  keys_.pop_front();
  return k;
}

void TtyConsole::write(std::string_view text) {
  if (!mode_.console_translates_newlines() || text.find('\n') == std::string_view::npos) {
    write_all(text);
    return;
  }
  translated_.clear();
  for (std::size_t at; (at = text.find('\n')) != std::string_view::npos;) {
    translated_.append(text.substr(0, at)).append("\r\n");
    text.remove_prefix(at + 1);
  }
  translated_.append(text);
  write_all(translated_);
}

void TtyConsole::write_all(std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(out_fd_, text.data(), text.size());
    if (n > 0) {
      text.remove_prefix(static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      if (pending_signal() != 0) return;  // ending; a stalled terminal must not hold us
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{out_fd_, POLLOUT, 0};
      ::poll(&p, 1, 1000);
    } else {
      return;  // output is gone; nothing useful can be done with the text
    }
  }
}

}  // namespace dravel::platform
