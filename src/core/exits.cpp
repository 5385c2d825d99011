#include "core/exits.h"

#include "core/console_out.h"
#include "core/keyboard.h"
#include "core/program_exit.h"
// The port and the history are the state's: they are reached through the state header.
#include "core/state.h"

namespace dravel {

void close_saving_history(State& s) {
  serial_close(s);
  history_save_file(s.history, s.history_path);
}

void exit_saving_history(State& s, int status) {
  close_saving_history(s);
  end_program(status);
}

void terminate_on_abort(State& s, bool poll_first) {
  if (poll_first) poll_keyboard(s);
  if (!s.abort_flag) return;
  console_write(s.console(), "\nTerminate by user!\n");
  exit_saving_history(s, 1);
}

}  // namespace dravel
