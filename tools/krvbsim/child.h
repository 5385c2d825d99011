#pragma once
// The program krvbsim runs on its pty ("krvbsim -- COMMAND ..."): it keeps the user's
// terminal and finds the pty in DRAVELPORT.
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace krvbsim {

class Child {
 public:
  // Starts `command`; false with the reason in `error`.
  bool start(const std::vector<std::string>& command, const std::string& port, std::string& error);
  pid_t pid() const { return pid_; }
  // The exit status once it has ended (128 + signal number when a signal ended it).
  std::optional<int> poll_exit();
  void signal(int sig);

 private:
  pid_t pid_ = -1;
};

}  // namespace krvbsim
