#include "sim/monitor.h"

#include <algorithm>
#include <cstring>

namespace dravel::sim {

Monitor::Monitor() = default;

void Monitor::receive(const std::uint8_t*, std::size_t) {}

std::size_t Monitor::transmit(std::uint8_t* buf, std::size_t max) {
  std::size_t n = std::min(max, output_.size());
  std::memcpy(buf, output_.data(), n);
  output_.erase(0, n);
  return n;
}

}  // namespace dravel::sim
