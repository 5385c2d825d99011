#include "signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace krvbsim {

namespace {

int g_write_fd = -1;
constexpr int HANDLED[] = {SIGINT, SIGTERM, SIGHUP, SIGCHLD};

void on_signal(int sig) {
  int saved = errno;
  unsigned char b = static_cast<unsigned char>(sig);
  if (g_write_fd >= 0) [[maybe_unused]]
    auto n = ::write(g_write_fd, &b, 1);
  errno = saved;
}

}  // namespace

SignalPipe::SignalPipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  read_fd_ = fds[0];
  g_write_fd = fds[1];
  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : HANDLED) ::sigaction(sig, &sa, nullptr);
  // A client that goes away mid-write is a write error, not a reason to die.
  ::signal(SIGPIPE, SIG_IGN);
}

SignalPipe::~SignalPipe() {
  for (int sig : HANDLED) ::signal(sig, SIG_DFL);
  if (g_write_fd >= 0) ::close(g_write_fd);
  if (read_fd_ >= 0) ::close(read_fd_);
  g_write_fd = -1;
}

unsigned long SignalPipe::take() {
  unsigned long seen = 0;
  unsigned char buf[64];
  ssize_t n;
  while ((n = ::read(read_fd_, buf, sizeof buf)) > 0) {
    for (ssize_t i = 0; i < n; ++i) seen |= signal_bit(buf[i]);
  }
  return seen;
}

}  // namespace krvbsim
