#pragma once
// The serial device a program opens: a local port (a tty, a COM port) or a network port
// (rfc2217://, socket://), chosen by the name at each open. Each platform gives the two.
#include "platform/serial_device.h"

namespace dravel::platform {

class PortByName : public SerialDevice {
 public:
  // Both are only kept here, so they may be members of a derived class not yet built.
  PortByName(SerialDevice& local, SerialDevice& network) : local_(local), network_(network) {}

  OpenResult open(const std::string& name, long baud) override;
  void close() override { active_->close(); }
  bool is_open() const override { return active_->is_open(); }
  long read(std::uint8_t* buf, std::size_t max) override { return active_->read(buf, max); }
  long write(const std::uint8_t* data, std::size_t n) override { return active_->write(data, n); }
  std::string failure() const override { return active_->failure(); }
  ControlResult set_control(Control c) override { return active_->set_control(c); }
  void discard_output() override { active_->discard_output(); }

 protected:
  bool on_network() const { return active_ == &network_; }

 private:
  SerialDevice& local_;
  SerialDevice& network_;
  SerialDevice* active_ = &local_;
};

}  // namespace dravel::platform
