#include "serve.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
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

// Time until `when`, for ppoll: at a fast line a byte is ~10 us, so whole milliseconds
// would stretch every paced exchange.
timespec wait_for(std::uint64_t when, std::uint64_t now) {
  std::uint64_t us = when <= now ? 0 : when - now;
  if (us > 60'000'000) us = 60'000'000;
  return timespec{static_cast<time_t>(us / 1'000'000), static_cast<long>(us % 1'000'000) * 1000};
}

// Host bytes held back by the input pacer; past this the pty's own buffer holds the host.
constexpr std::size_t HOST_BACKLOG = 4096;

// A fault that silences the monitor has fired (a mute, or S-record lines left unanswered).
bool gone_silent(dravel::sim::Monitor& m) {
  const std::uint64_t drop_from = m.faults().drop_srec_acks_from;
  return m.muted() || (drop_from != 0 && static_cast<std::uint64_t>(m.srec().lines()) >= drop_from);
}

}  // namespace

int serve(dravel::sim::Monitor& m, Pty& pty, SignalPipe& signals, Child* child,
          const std::function<void()>& before_wait, long host_baud) {
  std::string out;  // taken from the monitor, not yet taken by the pty
  std::string in;   // read from the host, not yet across the line
  dravel::sim::Pacer in_pacer;
  in_pacer.set_baud(host_baud);
  std::uint8_t buf[4096];
  bool said_silent = false;
  for (;;) {
    // Said once, so a test waits for the fault rather than guessing how long it takes.
    if (!said_silent && gone_silent(m)) {
      std::fprintf(stderr, "krvbsim: silent from now on\n");
      said_silent = true;
    }
    std::uint64_t now = now_us();
    if (!in.empty()) {
      std::size_t n = in_pacer.release(in.size(), now);
      if (n > 0) {
        bool quiet = !m.has_output();
        m.receive(reinterpret_cast<const std::uint8_t*>(in.data()), n);
        in.erase(0, n);
        // An answer starts when the host's last byte crossed, however late this loop woke.
        if (quiet && m.has_output()) m.transmit(buf, 0, in_pacer.line_free_us());
      }
    }
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
    std::uint64_t wake = UINT64_MAX;
    if (out.empty() && m.has_output()) wake = m.next_output_us(now);
    // The host's bytes matter to the monitor as a run, so wake once the run is across.
    if (!in.empty())
      wake = std::min(wake, in_pacer.next_release_us(now) + in_pacer.run_time_us(in.size() - 1));
    before_wait();
    // Counted from after the wire log is written, which takes its own time.
    timespec timeout{};
    if (wake != UINT64_MAX) timeout = wait_for(wake, now_us());
    short host_events =
        static_cast<short>((in.size() < HOST_BACKLOG ? POLLIN : 0) | (out.empty() ? 0 : POLLOUT));
    pollfd fds[2] = {{pty.master(), host_events, 0}, {signals.fd(), POLLIN, 0}};
    if (::ppoll(fds, 2, wake == UINT64_MAX ? nullptr : &timeout, nullptr) < 0) {
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
      if (n > 0 && in_pacer.active())
        in.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
      else if (n > 0)
        m.receive(buf, static_cast<std::size_t>(n));
    } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      std::fprintf(stderr, "krvbsim: the pty failed\n");
      return 1;
    }
  }
}

}  // namespace krvbsim
