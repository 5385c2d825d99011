#pragma once
#include <string>

namespace dravel::platform {

// Runs one command line through the system's command interpreter in this console.
class Shell {
 public:
  virtual ~Shell() = default;
  // The command's exit status, or -1 when it could not run or was ended. A batch run's shell
  // gives it at most `limit_ms` (WAIT_FOREVER: no limit) and ends it, with whatever it
  // started, once that passes or the program is asked to end; nothing then waits on it.
  virtual int run(const std::string& command_line, int limit_ms) = 0;
};

}  // namespace dravel::platform
