#include <cstring>

#include "platform/network_name.h"
#include "platform/platform.h"

namespace dravel::platform {

// The first port at 0x3F8, the second for any other address.
std::string default_device_name(unsigned io_address) {
#if defined(_WIN32)
  return io_address == 0x3F8 ? "Com1" : "Com2";
#else
  return io_address == 0x3F8 ? "/dev/ttyS0" : "/dev/ttyS1";
#endif
}

namespace {

struct Scheme {
  const char* prefix;
  NetKind kind;
};
constexpr Scheme SCHEMES[] = {{"rfc2217://", NetKind::Rfc2217}, {"socket://", NetKind::Socket}};

bool malformed(NetworkName& n, const char* why) {
  n.error = why;
  return false;
}

// HOST:PORT, HOST a name or address, [IPv6]:PORT.
bool parse_host_port(const std::string& rest, NetworkName& n) {
  std::size_t colon;
  if (!rest.empty() && rest[0] == '[') {
    std::size_t close = rest.find(']');
    if (close == std::string::npos) return malformed(n, "unclosed [ in the host");
    n.host = rest.substr(1, close - 1);
    if (n.host.empty()) return malformed(n, "no host given");
    if (close + 1 >= rest.size() || rest[close + 1] != ':')
      return malformed(n, "no port given (HOST:PORT)");
    colon = close + 1;
  } else {
    colon = rest.rfind(':');
    if (colon == std::string::npos) return malformed(n, "no port given (HOST:PORT)");
    n.host = rest.substr(0, colon);
    if (n.host.empty()) return malformed(n, "no host given");
    if (n.host.find_first_of(":/[]@?# ") != std::string::npos)
      return malformed(n, "the host is not a name or address (IPv6 goes in [ ])");
  }
  const std::string port = rest.substr(colon + 1);
  if (port.empty()) return malformed(n, "no port given (HOST:PORT)");
  if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
    return malformed(n, "the port is not a number from 1 to 65535");
  n.port = std::stoi(port);
  if (n.port < 1 || n.port > 65535) return malformed(n, "the port is not a number from 1 to 65535");
  return true;
}

}  // namespace

NetworkName parse_network_name(const std::string& name) {
  NetworkName n;
  for (const Scheme& s : SCHEMES) {
    const std::size_t len = std::strlen(s.prefix);
    if (name.compare(0, len, s.prefix) != 0) continue;
    n.kind = s.kind;
    parse_host_port(name.substr(len), n);
    return n;
  }
  return n;
}

}  // namespace dravel::platform
