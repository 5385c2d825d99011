#include "platform/posix/poll_idle_wait.h"

#include <poll.h>

namespace dravel::platform {

void PollIdleWait::wait(int timeout_ms, bool output_room) {
  // Keys that came in since the last wait (read ahead by the console) are news.
  if (console_.keys_arrived() != keys_seen_) {
    keys_seen_ = console_.keys_arrived();
    if (console_.has_keys()) return;
  }
  pollfd fds[3];
  nfds_t n = 0;
  int serial_slot = -1;
  int console_slot = -1;
  if (int fd = serial_.fd(); fd >= 0) {
    serial_slot = static_cast<int>(n);
    fds[n++] = pollfd{fd, POLLIN, 0};
  }
  // Room for output ends the wait too; a held write leaves nothing else to do on the line.
  if (int fd = output_room ? serial_.output_fd() : -1; fd >= 0) fds[n++] = pollfd{fd, POLLOUT, 0};
  if (int fd = console_.input_fd(); fd >= 0) {
    console_slot = static_cast<int>(n);
    fds[n++] = pollfd{fd, POLLIN, 0};
  }
  // A signal interrupts poll (EINTR); the caller looks at it, so just return. A negative
  // timeout is poll's own "no limit".
  if (::poll(fds, n, timeout_ms) <= 0) return;
  if (console_slot >= 0 && fds[console_slot].revents != 0) console_.take_input();
  keys_seen_ = console_.keys_arrived();
  if (serial_slot < 0) return;
  short ready = fds[serial_slot].revents;
  if ((ready & POLLIN) != 0) serial_.take_input();
  // A hung-up line would wake every poll at once; the serial device stops offering it.
  if ((ready & (POLLHUP | POLLERR | POLLNVAL)) != 0) serial_.note_hang_up();
}

}  // namespace dravel::platform
