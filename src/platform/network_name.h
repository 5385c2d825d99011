#pragma once
// Device names that reach a serial port over the network: rfc2217://HOST:PORT (telnet with
// the COM-PORT-OPTION, as ser2net and labgrid export a board) and socket://HOST:PORT (raw TCP).
#include <string>

namespace dravel::platform {

enum class NetKind { None, Rfc2217, Socket };

struct NetworkName {
  NetKind kind = NetKind::None;
  std::string host;  // a name, an IPv4 address, or an IPv6 address without its brackets
  int port = 0;
  std::string error;  // set when the name has a network scheme but is malformed
};

// NetKind::None for every name without one of the schemes: a device path.
NetworkName parse_network_name(const std::string& name);

}  // namespace dravel::platform
