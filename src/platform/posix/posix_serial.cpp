#include "platform/posix/posix_serial.h"

#include "platform/network_name.h"

namespace dravel::platform {

OpenResult PosixSerial::open(const std::string& name, long baud) {
  active_->close();
  active_ =
      parse_network_name(name).kind == NetKind::None ? static_cast<SerialDevice*>(&tty_) : &net_;
  return active_->open(name, baud);
}

int PosixSerial::fd() const {
  if (active_ == &tty_) return tty_.fd();
  return net_.has_room() ? socket_.fd() : -1;
}

void PosixSerial::take_input() {
  if (active_ == &tty_)
    tty_.take_input();
  else
    net_.take_input();
}

// A reset connection: the read that fails takes it out of the wait, so it cannot spin.
void PosixSerial::note_hang_up() {
  if (active_ == &tty_)
    tty_.note_hang_up();
  else
    net_.take_input();
}

}  // namespace dravel::platform
