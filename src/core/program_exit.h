#pragma once
// Ending the program from deep inside a wait or a transfer. The process-level
// code catches ProgramExit, so a test can run a whole session in-process and
// every exit path unwinds through the same terminal restore.

namespace dravel {

struct ProgramExit {
  int status;
};

[[noreturn]] inline void end_program(int status) {
  throw ProgramExit{status};
}

}  // namespace dravel
