#include "platform/posix/terminal_mode.h"

#include <csignal>

namespace dravel::platform {

namespace {
// A copy the signal handlers can reach; written before any handler may need it.
termios g_saved{};
int g_fd = -1;
volatile std::sig_atomic_t g_saved_valid = 0;
}  // namespace

termios raw_mode_of(const termios& normal) {
  termios t = normal;
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  t.c_cflag |= CS8;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return t;
}

TerminalMode::TerminalMode(int fd) : fd_(fd) {
  if (::tcgetattr(fd, &saved_) != 0) return;
  saved_valid_ = true;
  g_saved = saved_;
  g_fd = fd;
  g_saved_valid = 1;
}

TerminalMode::~TerminalMode() {
  restore();
  if (g_fd == fd_) g_saved_valid = 0;
}

void TerminalMode::set_raw(bool raw) {
  if (!saved_valid_) return;
  if (!raw) {
    restore();
    return;
  }
  termios t = raw_mode_of(saved_);
  // Only the plain translation is taken over; any other output setting stays the kernel's.
  bool take_over = console_may_translate_ && saved_.c_oflag == (OPOST | ONLCR);
  if (take_over) t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  console_translates_ = ::tcsetattr(fd_, TCSANOW, &t) == 0 && take_over;
}

void TerminalMode::restore() {
  console_translates_ = false;
  if (saved_valid_) ::tcsetattr(fd_, TCSANOW, &saved_);
}

void TerminalMode::emergency_restore() {
  if (g_saved_valid) ::tcsetattr(g_fd, TCSANOW, &g_saved);
}

}  // namespace dravel::platform
