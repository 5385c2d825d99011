#include "core/keyboard.h"

#include "core/core.h"
#include "core/exits.h"
#include "core/waits.h"

namespace dravel {

void KeyQueue::push(KeyCode k) {
  data[static_cast<size_t>(write_index)] = k;
  write_index = (write_index + 1) % CAPACITY;
  ++count;
}

KeyCode KeyQueue::pop() {
  KeyCode k = data[static_cast<size_t>(read_index)];
  read_index = (read_index + 1) % CAPACITY;
  --count;
  return k;
}

bool poll_keyboard(Core& core) {
  // A batch run has no keyboard: standard input is never read.
  if (core.no_keyboard) return core.keys.count != 0;
  if (!core.keys.full() && core.io.console.key_waiting()) {
    KeyCode code = core.io.console.read_key();
    core.keys.push(code);
    if (code == key::ESC) core.abort_flag = true;
  }
  return core.keys.count != 0;
}

void take_waiting_keys(Core& core) {
  if (core.no_keyboard) return;
  while (!core.keys.full() && core.io.console.key_waiting()) poll_keyboard(core);
}

KeyCode read_key(Core& core) {
  // With no keyboard every question gets Enter: a pause goes on, a prompt stays empty.
  if (core.no_keyboard && core.keys.count == 0) return key::CR;
  while (!poll_keyboard(core)) idle_wait(core, true);
  KeyCode k = core.keys.pop();
  if (k == key::ESC) {
    core.abort_flag = true;
    terminate_on_abort(core, false);
  }
  return k;
}

int poll_input(Core& core) {
  int bits = poll_keyboard(core) ? POLL_KEY : 0;
  if (core.abort_flag) {
    bits &= ~POLL_KEY;
    core.abort_flag = false;
    bits |= POLL_BREAK;
  }
  return bits | POLL_RECEIVE;
}

}  // namespace dravel
