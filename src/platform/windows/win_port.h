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
  // An event to sleep on while nothing is waiting (the socket's, or the COM port's receive
  // wait, armed here), or nullptr when the port is looked at in slices instead. Every wait
  // that armed it calls end_wait before it returns.
  HANDLE waitable();
  void end_wait();
  // The event woke the wait: taken in, so it does not wake the next one for the same bytes,
  // and a network port's queue given the room.
  void woken();
  // The event of a COM port write the driver still holds, or of the socket while output is
  // queued for it; else nullptr (room for more).
  HANDLE write_event() const;
  // A network port queues output itself: its queue is given room whenever room comes.
  bool queues_output() const { return on_network(); }

 private:
  WinSerialDevice com_;
  WinSocket socket_;
  NetSerial net_{socket_};
};

}  // namespace dravel::platform
