#pragma once
// SIGINT, SIGTERM, SIGHUP and SIGCHLD, turned into readable bytes on a pipe so the
// serving loop can sleep in poll() and still notice them.
#include <csignal>

namespace krvbsim {

class SignalPipe {
 public:
  // Installs the handlers; there is one per process.
  SignalPipe();
  ~SignalPipe();
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  bool ok() const { return read_fd_ >= 0; }
  int fd() const { return read_fd_; }
  // Empties the pipe; the signals caught since the last call, as a bit per number.
  unsigned long take();

 private:
  int read_fd_ = -1;
};

constexpr unsigned long signal_bit(int sig) {
  return 1ul << sig;
}

}  // namespace krvbsim
