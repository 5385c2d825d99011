#pragma once
// The serial device dravel opens on POSIX: a tty by path, or a network port by URL
// (rfc2217://, socket://), chosen by the name at each open.
#include "platform/net_serial.h"
#include "platform/port_by_name.h"
#include "platform/posix/pollable_serial.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/tty_serial.h"

namespace dravel::platform {

class PosixSerial : public PortByName, public PollableSerial {
 public:
  PosixSerial() : PortByName(tty_, net_) {}

  int fd() const override;
  // A network port waits for room on its socket while it has output queued.
  int output_fd() const override;
  bool queues_output() const override { return on_network(); }
  void send_queued() override;
  void take_input() override;
  void note_hang_up() override;

 private:
  TtySerial tty_;
  PosixSocket socket_;
  NetSerial net_{socket_};
};

}  // namespace dravel::platform
