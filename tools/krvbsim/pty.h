#pragma once
// The pseudo-terminal the simulated board is reached through.
#include <string>

namespace krvbsim {

class Pty {
 public:
  Pty() = default;
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // Opens a new pty in raw mode; false with the system's reason in `error`.
  bool open(std::string& error);

  int master() const { return master_; }
  const std::string& path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;  // kept open so the master never reads as hung up between clients
  std::string path_;
};

}  // namespace krvbsim
