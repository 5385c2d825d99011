#pragma once
// The COM ports Windows knows, as its registry lists them.
#include <string>
#include <vector>

namespace dravel::platform {

struct ComPortEntry {
  std::string device;  // the value's name: the kernel device, "\Device\Serial0"
  std::string port;    // its data: "COM1"
};

// One line per port, in port number order: "COM3 (\Device\Serial0)".
std::vector<std::string> com_port_lines(std::vector<ComPortEntry> entries);
// The entries of HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM.
std::vector<ComPortEntry> read_serialcomm();

}  // namespace dravel::platform
