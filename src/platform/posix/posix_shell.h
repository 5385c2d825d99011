#pragma once
#include <string>

#include "platform/console.h"
#include "platform/shell.h"

namespace dravel::platform {

// Runs a command line with the terminal in its normal mode, so interactive programs work.
// A batch run's commands run in a process group of their own (unless standard input is a
// terminal, which they may read), so that a limit or a signal ends everything they started.
class PosixShell : public Shell {
 public:
  PosixShell(Console& console, bool batch) : console_(console), batch_(batch) {}
  int run(const std::string& command_line, int limit_ms) override;

 private:
  int run_bounded(const std::string& command_line, int limit_ms);

  Console& console_;
  bool batch_;
};

}  // namespace dravel::platform
