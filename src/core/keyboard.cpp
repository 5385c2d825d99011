#include "core/keyboard.h"

#include "core/exits.h"
#include "core/state.h"
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

bool poll_keyboard(State& s) {
  // A batch run has no keyboard: standard input is never read.
  if (s.options.batch) return s.keys.count != 0;
  if (!s.keys.full() && s.io.console.key_waiting()) {
    KeyCode code = s.io.console.read_key();
    s.keys.push(code);
    if (code == key::ESC) s.abort_flag = true;
  }
  return s.keys.count != 0;
}

KeyCode read_key(State& s) {
  // With no keyboard every question gets Enter: a pause goes on, a prompt stays empty.
  if (s.options.batch && s.keys.count == 0) return key::CR;
  while (!poll_keyboard(s)) idle_wait(s, true);
  KeyCode k = s.keys.pop();
  if (k == key::ESC) {
    s.abort_flag = true;
    terminate_on_abort(s, false);
  }
  return k;
}

int poll_input(State& s) {
  int bits = poll_keyboard(s) ? POLL_KEY : 0;
  if (s.abort_flag) {
    bits &= ~POLL_KEY;
    s.abort_flag = false;
    bits |= POLL_BREAK;
  }
  return bits | POLL_RECEIVE;
}

}  // namespace dravel
