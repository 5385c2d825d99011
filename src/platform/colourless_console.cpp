#include "platform/colourless_console.h"

namespace dravel::platform {

namespace {

constexpr char ESC = 0x1B;
// Longer than any colour sequence dravel writes; a longer one is passed on as it is.
constexpr std::size_t HELD_LIMIT = 32;

bool is_parameter(char c) {
  return (c >= '0' && c <= '9') || c == ';';
}

}  // namespace

void ColourlessConsole::write(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (held_.empty()) {
      if (c == ESC)
        held_.push_back(c);
      else
        out.push_back(c);
      continue;
    }
    held_.push_back(c);
    bool open = held_.size() == 2 ? c == '[' : is_parameter(c);
    if (open && held_.size() < HELD_LIMIT) continue;
    if (c == ESC) {
      // This one may begin a sequence of its own.
      out.append(held_, 0, held_.size() - 1);
      held_.assign(1, ESC);
      continue;
    }
    // A colour sequence goes; anything else was not ours to drop.
    if (held_.size() < 3 || c != 'm') out += held_;
    held_.clear();
  }
  if (!out.empty()) inner_.write(out);
}

}  // namespace dravel::platform
