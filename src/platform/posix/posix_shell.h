#pragma once
#include "platform/console.h"
#include "platform/shell.h"

namespace dravel::platform {

// Runs a command line with the terminal in its normal mode, so interactive programs work.
class PosixShell : public Shell {
 public:
  explicit PosixShell(Console& console) : console_(console) {}
  // The command's exit status, or -1 when it could not run or was killed.
  int run(const std::string& command_line) override;

 private:
  Console& console_;
};

}  // namespace dravel::platform
