#include "serve.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace krvbsim {

namespace {

std::uint64_t now_us() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

// Milliseconds until `when`, rounded up so a wake-up never comes early.
int wait_ms(std::uint64_t when, std::uint64_t now) {
  if (when <= now) return 0;
  std::uint64_t ms = (when - now + 999) / 1000;
  return ms > 60'000 ? 60'000 : static_cast<int>(ms);
}

}  // namespace

int serve(dravel::sim::Monitor& m, Pty& pty, SignalPipe& signals, Child* child,
          const std::function<void()>& before_wait) {
  std::string out;  // taken from the monitor, not yet taken by the pty
  std::uint8_t buf[4096];
  for (;;) {
    std::uint64_t now = now_us();
    if (out.empty() && m.has_output()) {
      std::size_t n = m.transmit(buf, sizeof buf, now);
      out.assign(reinterpret_cast<const char*>(buf), n);
    }
    if (!out.empty()) {
      ssize_t w = ::write(pty.master(), out.data(), out.size());
      if (w > 0) {
        out.erase(0, static_cast<std::size_t>(w));
      } else if (w < 0 && errno != EAGAIN && errno != EINTR) {
        std::fprintf(stderr, "krvbsim: writing the pty: %s\n", std::strerror(errno));
        return 1;
      }
    }
    // Paced output not yet due: sleep until its next byte has crossed the line.
    int timeout = -1;
    if (out.empty() && m.has_output()) timeout = wait_ms(m.next_output_us(now), now);

    before_wait();
    pollfd fds[2] = {{pty.master(), static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT)), 0},
                     {signals.fd(), POLLIN, 0}};
    if (::poll(fds, 2, timeout) < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "krvbsim: poll: %s\n", std::strerror(errno));
      return 1;
    }

    if (fds[1].revents & POLLIN) {
      unsigned long seen = signals.take();
      if (child != nullptr) {
        if (auto status = child->poll_exit()) return *status;
        // The child shares the terminal and gets its own SIGINT; others are passed on.
        if (seen & (signal_bit(SIGTERM) | signal_bit(SIGHUP))) child->signal(SIGTERM);
      } else if (seen & (signal_bit(SIGINT) | signal_bit(SIGTERM) | signal_bit(SIGHUP))) {
        return 0;
      }
    }
    if (fds[0].revents & POLLIN) {
      ssize_t n = ::read(pty.master(), buf, sizeof buf);
      if (n > 0) m.receive(buf, static_cast<std::size_t>(n));
    } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      std::fprintf(stderr, "krvbsim: the pty failed\n");
      return 1;
    }
  }
}

}  // namespace krvbsim
