#pragma once
#include <string>

namespace dravel::platform {

// Runs one command line through the system's command interpreter in this console.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual int run(const std::string& command_line) = 0;
};

}  // namespace dravel::platform
