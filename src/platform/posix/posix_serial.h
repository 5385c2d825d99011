#pragma once
// The serial device dravel opens on POSIX: a tty by path, or a network port by URL
// (rfc2217://, socket://), chosen by the name at each open.
#include "platform/net_serial.h"
#include "platform/posix/pollable_serial.h"
#include "platform/posix/posix_socket.h"
#include "platform/posix/tty_serial.h"

namespace dravel::platform {

class PosixSerial : public SerialDevice, public PollableSerial {
 public:
  OpenResult open(const std::string& name, long baud) override;
  void close() override { active_->close(); }
  bool is_open() const override { return active_->is_open(); }
  long read(std::uint8_t* buf, std::size_t max) override { return active_->read(buf, max); }
  long write(const std::uint8_t* data, std::size_t n) override { return active_->write(data, n); }
  std::string failure() const override { return active_->failure(); }

  int fd() const override;
  void take_input() override;
  void note_hang_up() override;

 private:
  TtySerial tty_;
  PosixSocket socket_;
  NetSerial net_{socket_};
  SerialDevice* active_ = &tty_;
};

}  // namespace dravel::platform
