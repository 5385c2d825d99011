#pragma once
// The console seam: keys in (extended keys as 0 then a scan code), text out.
#include <string_view>

namespace dravel::platform {

class Console {
 public:
  virtual ~Console() = default;
  // Non-blocking: is a key byte waiting?
  virtual bool key_waiting() = 0;
  // One key byte, unechoed; an extended key arrives as 0 and then its scan code.
  // Only called after key_waiting() said yes (or for the second byte of an extended key).
  virtual int read_key_byte() = 0;
  // Text exactly as given; it is on the screen when this returns.
  virtual void write(std::string_view text) = 0;
  // Raw keyboard on/off; off while a shell command runs.
  virtual void set_raw(bool raw) = 0;
  // Milliseconds until a key sequence already begun is decided (a lone ESC, or the start
  // of a longer key), or -1 when none is pending.
  virtual int key_decision_ms() { return -1; }
};

}  // namespace dravel::platform
