#include "platform/posix/poll_idle_wait.h"

#include <poll.h>

namespace dravel::platform {

void PollIdleWait::wait(int timeout_ms) {
  if (console_.has_keys()) return;
  pollfd fds[2];
  nfds_t n = 0;
  int serial_slot = -1;
  if (int fd = serial_.fd(); fd >= 0) {
    serial_slot = static_cast<int>(n);
    fds[n++] = pollfd{fd, POLLIN, 0};
  }
  if (int fd = console_.input_fd(); fd >= 0) fds[n++] = pollfd{fd, POLLIN, 0};
  // A signal interrupts poll (EINTR); the caller looks at it, so just return.
  if (::poll(fds, n, timeout_ms) <= 0 || serial_slot < 0) return;
  // A hung-up line would wake every poll at once; the serial device stops offering it.
  if ((fds[serial_slot].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) serial_.note_hang_up();
}

}  // namespace dravel::platform
