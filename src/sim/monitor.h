#pragma once
// The board's debug monitor as a byte-in/byte-out engine, for krvbsim and the tests.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dravel::sim {

class Monitor {
 public:
  Monitor();
  // Bytes from the host.
  void receive(const std::uint8_t* data, std::size_t n);
  // Bytes for the host that are ready now; returns how many were copied.
  std::size_t transmit(std::uint8_t* buf, std::size_t max);
  bool has_output() const { return !output_.empty(); }

 private:
  std::string output_;
};

}  // namespace dravel::sim
