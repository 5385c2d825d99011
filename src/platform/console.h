#pragma once
// The console seam: keys in as key codes (base/keys.h), text out.
#include <string_view>

#include "base/keys.h"

namespace dravel::platform {

class Console {
 public:
  virtual ~Console() = default;
  // Non-blocking: is a key waiting?
  virtual bool key_waiting() = 0;
  // One key, unechoed: a character as its byte, a cursor or function key as its code.
  // Only called after key_waiting() said yes.
  virtual KeyCode read_key() = 0;
  // Text exactly as given; it is on the screen when this returns.
  virtual void write(std::string_view text) = 0;
  // Raw keyboard on/off; off while a shell command runs.
  virtual void set_raw(bool raw) = 0;
  // Milliseconds until a key sequence already begun is decided (a lone ESC, or the start
  // of a longer key), or -1 when none is pending.
  virtual int key_decision_ms() { return -1; }
};

}  // namespace dravel::platform
