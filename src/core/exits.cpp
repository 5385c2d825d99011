#include "core/exits.h"

#include "core/console_out.h"
#include "core/core.h"
#include "core/keyboard.h"
#include "core/program_exit.h"

namespace dravel {

void end_run(Core& core, int status) {
  core.hooks.run_exit_actions();
  end_program(status);
}

void terminate_on_abort(Core& core, bool poll_first) {
  if (poll_first) poll_keyboard(core);
  if (!core.abort_flag) return;
  console_write(core.console(), "\nTerminate by user!\n");
  end_run(core, 1);
}

}  // namespace dravel
