#pragma once
// The serial devices of a Linux machine, as udev and sysfs show them.
#include <string>
#include <vector>

namespace dravel::platform {

// One line per device: the /dev/serial/by-id names with the tty they lead to and what sysfs
// says of the adapter, then the USB ttys no by-id name reaches, then the ttyS that have a UART.
// `root` is prefixed to /dev and /sys (tests pass a made-up tree; "" for the machine's own).
std::vector<std::string> list_serial_devices(const std::string& root);

}  // namespace dravel::platform
