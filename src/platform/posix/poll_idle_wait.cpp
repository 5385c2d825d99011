#include "platform/posix/poll_idle_wait.h"

#include <poll.h>

namespace dravel::platform {

void PollIdleWait::wait(int timeout_ms, bool output_room) {
  // Keys that came in since the last wait (read ahead by the console) are news.
  if (console_.keys_arrived() != keys_seen_) {
    keys_seen_ = console_.keys_arrived();
    if (console_.has_keys()) return;
  }
  // A device with its own output queue (a network port) is given room whenever it comes,
  // so a packet goes on while its caller waits for the answer; with nothing queued, a wait
  // for room has it already.
  const bool own_queue = serial_.queues_output();
  const int out_fd = output_room || own_queue ? serial_.output_fd() : -1;
  if (output_room && own_queue && out_fd < 0) return;
  pollfd fds[3];
  nfds_t n = 0;
  int serial_slot = -1;
  int out_slot = -1;
  int console_slot = -1;
  if (int fd = serial_.fd(); fd >= 0) {
    serial_slot = static_cast<int>(n);
    fds[n++] = pollfd{fd, POLLIN, 0};
  }
  // Room for output ends the wait too; a held write leaves nothing else to do on the line.
  if (out_fd >= 0) {
    out_slot = static_cast<int>(n);
    fds[n++] = pollfd{out_fd, POLLOUT, 0};
  }
  if (int fd = console_.input_fd(); fd >= 0) {
    console_slot = static_cast<int>(n);
    fds[n++] = pollfd{fd, POLLIN, 0};
  }
  // A signal interrupts poll (EINTR); the caller looks at it, so just return. A negative
  // timeout is poll's own "no limit".
  if (::poll(fds, n, timeout_ms) <= 0) return;
  if (console_slot >= 0 && fds[console_slot].revents != 0) console_.take_input();
  keys_seen_ = console_.keys_arrived();
  // Room, or an error the send then reports: either way the queue stops asking for room.
  if (out_slot >= 0 && fds[out_slot].revents != 0) serial_.send_queued();
  if (serial_slot < 0) return;
  short ready = fds[serial_slot].revents;
  if ((ready & POLLIN) != 0) serial_.take_input();
  // A hung-up line would wake every poll at once; the serial device stops offering it.
  if ((ready & (POLLHUP | POLLERR | POLLNVAL)) != 0) serial_.note_hang_up();
}

}  // namespace dravel::platform
