#pragma once
// The serial device dravel opens on Windows: a COM port by name, or a network port by URL
// (rfc2217://, socket://), chosen by the name at each open.
#include "platform/net_serial.h"
#include "platform/port_by_name.h"
#include "platform/windows/win_serial.h"
#include "platform/windows/win_socket.h"

namespace dravel::platform {

class WinPort : public PortByName {
 public:
  WinPort() : PortByName(com_, net_) {}

  // For the idle wait: bytes waiting (> 0), none (0), or -1 when the driver cannot tell.
  long input_pending();
  // An event to sleep on while nothing is waiting (a socket's), or nullptr (a COM port's
  // driver is looked at in slices instead).
  HANDLE waitable() const;
  // The event woke the wait: taken in, so it does not wake the next one for the same bytes.
  void woken();

 private:
  WinSerialDevice com_;
  WinSocket socket_;
  NetSerial net_{socket_};
};

}  // namespace dravel::platform
