#pragma once
// A console that drops colour sequences (ESC [ ... m) from what it writes, for output that
// goes to a file or a pipe; everything else passes through untouched.
#include <string>

#include "platform/console.h"

namespace dravel::platform {

class ColourlessConsole : public Console {
 public:
  explicit ColourlessConsole(Console& inner) : inner_(inner) {}

  bool key_waiting() override { return inner_.key_waiting(); }
  KeyCode read_key() override { return inner_.read_key(); }
  void write(std::string_view text) override;
  void set_raw(bool raw) override { inner_.set_raw(raw); }

 private:
  Console& inner_;
  // A sequence begun in one write and not yet known to be a colour one.
  std::string held_;
};

}  // namespace dravel::platform
