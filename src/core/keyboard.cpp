#include "core/keyboard.h"

#include "core/core.h"
#include "core/exits.h"
#include "core/waits.h"

namespace dravel {

namespace {
constexpr KeyCode CR = 0x0D;
}  // namespace

// clang-format off
const ExtendedKey extended_key_table[23] = {
    {key::UP, 0x48},   {key::DOWN, 0x50}, {key::LEFT, 0x4B}, {key::RIGHT, 0x4D}, {key::INS, 0x52},
    {key::DEL, 0x53},  {key::HOME, 0x47}, {key::END, 0x4F},  {key::PGUP, 0x49},  {key::PGDN, 0x51},
    {key::F1, 0x3B},   {key::F2, 0x3C},   {key::F3, 0x3D},   {key::F4, 0x3E},    {key::F5, 0x3F},
    {key::F6, 0x40},   {key::F7, 0x41},   {key::F8, 0x42},   {key::F9, 0x43},    {key::F10, 0x44},
    {key::F11, 0x85},  {key::F12, 0x86},  {0, 0},
};
// clang-format on

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

KeyCode translate_scan_code(int scan_code) {
  for (const ExtendedKey* e = extended_key_table; e->scan != 0; ++e)
    if (e->scan == scan_code) return static_cast<KeyCode>(e->code);
  return static_cast<KeyCode>(scan_code);
}

bool poll_keyboard(Core& core) {
  // A batch run has no keyboard: standard input is never read.
  if (core.no_keyboard) return core.keys.count != 0;
  if (!core.keys.full() && core.io.console.key_waiting()) {
    int k = core.io.console.read_key_byte();
    if (k == 0) k = translate_scan_code(core.io.console.read_key_byte());
    KeyCode code = static_cast<KeyCode>(k & 0xFF);
    core.keys.push(code);
    if (code == key::ESC) core.abort_flag = true;
  }
  return core.keys.count != 0;
}

KeyCode read_key(Core& core) {
  // With no keyboard every question gets Enter: a pause goes on, a prompt stays empty.
  if (core.no_keyboard && core.keys.count == 0) return CR;
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
