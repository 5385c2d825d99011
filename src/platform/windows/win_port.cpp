#include "platform/windows/win_port.h"

#include "platform/network_name.h"

namespace dravel::platform {

OpenResult WinPort::open(const std::string& name, long baud) {
  active_->close();
  active_ =
      parse_network_name(name).kind == NetKind::None ? static_cast<SerialDevice*>(&com_) : &net_;
  return active_->open(name, baud);
}

// Bytes on the socket are taken in as they are seen, so a caller that leaves them unread
// (a prompt while the board talks) is not woken again and again by the same bytes.
long WinPort::input_pending() {
  if (active_ == &com_) return com_.input_pending();
  if (!net_.has_room() || socket_.pending() == 0) return 0;
  net_.take_input();
  return 1;
}

HANDLE WinPort::waitable() const {
  return active_ == &net_ && socket_.is_open() && net_.has_room() ? socket_.event() : nullptr;
}

void WinPort::woken() {
  socket_.rearm();
  net_.take_input();
}

}  // namespace dravel::platform
