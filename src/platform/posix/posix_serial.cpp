#include "platform/posix/posix_serial.h"

namespace dravel::platform {

int PosixSerial::fd() const {
  if (!on_network()) return tty_.fd();
  return net_.has_room() ? socket_.fd() : -1;
}

int PosixSerial::output_fd() const {
  if (!on_network()) return tty_.output_fd();
  return net_.output_queued() ? socket_.fd() : -1;
}

void PosixSerial::send_queued() {
  if (on_network()) net_.send_queued();
}

void PosixSerial::take_input() {
  if (!on_network())
    tty_.take_input();
  else
    net_.take_input();
}

// A reset connection: the read that fails takes it out of the wait, so it cannot spin.
void PosixSerial::note_hang_up() {
  if (!on_network())
    tty_.note_hang_up();
  else
    net_.take_input();
}

}  // namespace dravel::platform
