#pragma once
#include "platform/shell.h"

namespace dravel::platform {

class WinConsole;
class ConsoleControl;

// One command line through the command interpreter, with the console as the user had it.
class WinShell : public Shell {
 public:
  WinShell(WinConsole& console, ConsoleControl& control) : console_(console), control_(control) {}
  int run(const std::string& command_line) override;

 private:
  WinConsole& console_;
  ConsoleControl& control_;
};

}  // namespace dravel::platform
