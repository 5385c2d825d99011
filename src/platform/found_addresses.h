#pragma once
// The addresses a network port's name was found at, kept for the reconnects of one run. A name
// lookup can block for seconds while the name servers are out of reach, which is when a lab
// network is down and reconnects happen; a reconnect must not hold the keyboard that long.
#include <string>
#include <vector>

namespace dravel::platform {

struct FoundAddress {
  int family = 0;
  int socktype = 0;
  int protocol = 0;
  std::vector<unsigned char> sockaddr_bytes;
};

class FoundAddresses {
 public:
  // What the last lookup of host:port found; null when that name was not looked up yet.
  const std::vector<FoundAddress>* find(const std::string& host, int port) const {
    return !found_.empty() && host == host_ && port == port_ ? &found_ : nullptr;
  }

  // Keeps what a lookup found: an addrinfo list, as either platform's getaddrinfo gives it.
  template <typename AddrInfo>
  const std::vector<FoundAddress>& keep(const std::string& host, int port, const AddrInfo* list) {
    host_ = host;
    port_ = port;
    found_.clear();
    for (const AddrInfo* a = list; a != nullptr; a = a->ai_next) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(a->ai_addr);
      found_.push_back({a->ai_family, a->ai_socktype, a->ai_protocol,
                        std::vector<unsigned char>(bytes, bytes + a->ai_addrlen)});
    }
    return found_;
  }

 private:
  std::string host_;
  int port_ = 0;
  std::vector<FoundAddress> found_;
};

}  // namespace dravel::platform
