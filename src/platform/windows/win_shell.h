#pragma once
#include <string>

#include "platform/shell.h"

namespace dravel::platform {

class WinConsole;
class ConsoleControl;

// One command line through the command interpreter, with the console as the user had it. A
// batch run's commands run in a job object, so that a limit can end everything they started.
class WinShell : public Shell {
 public:
  WinShell(WinConsole& console, ConsoleControl& control, bool batch)
      : console_(console), control_(control), batch_(batch) {}
  int run(const std::string& command_line, int limit_ms) override;

 private:
  WinConsole& console_;
  ConsoleControl& control_;
  bool batch_;
};

}  // namespace dravel::platform
