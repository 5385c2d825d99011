#include "platform/windows/win_port.h"

namespace dravel::platform {

// Bytes on the socket are taken in as they are seen, so a caller that leaves them unread
// (a prompt while the board talks) is not woken again and again by the same bytes.
long WinPort::input_pending() {
  if (!on_network()) return com_.input_pending();
  if (!net_.has_room() || socket_.pending() == 0) return 0;
  net_.take_input();
  return 1;
}

HANDLE WinPort::waitable() {
  if (!on_network()) return com_.arm_receive_wait();
  return socket_.is_open() && net_.has_room() ? socket_.event() : nullptr;
}

void WinPort::end_wait() {
  if (!on_network()) com_.end_receive_wait();
}

void WinPort::woken() {
  if (!on_network()) return;  // a COM port's bytes stay in its driver for the next read
  socket_.rearm();
  net_.take_input();
  net_.send_queued();
}

// The socket's one event carries FD_WRITE too: after a send it refused, it is signalled
// once the connection takes more.
HANDLE WinPort::write_event() const {
  if (!on_network()) return com_.write_event();
  return net_.output_queued() ? socket_.event() : nullptr;
}

}  // namespace dravel::platform
