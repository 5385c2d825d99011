#include "sim/command_line.h"

namespace dravel::sim {

namespace {
constexpr std::uint8_t BACKSPACE = 0x08;
constexpr std::uint8_t DEL = 0x7F;
constexpr std::uint8_t CR = 0x0D;
constexpr std::uint8_t BELL = 0x07;
}  // namespace

std::optional<std::string> CommandLine::feed(std::uint8_t b) {
  if (b == CR) {
    std::string line = std::move(line_);
    line_.clear();
    return line;
  }
  if (b == BACKSPACE || b == DEL) {
    if (!line_.empty()) {
      line_.pop_back();
      reply_.say("\b \b");
    }
    return std::nullopt;
  }
  // LF after CR, Ctrl-U from the host's edit mode switch, and other controls: ignored.
  if (b < 0x20 || b > 0x7E) return std::nullopt;
  if (line_.size() >= MAX_LINE) {
    reply_.byte(BELL);
    return std::nullopt;
  }
  line_.push_back(static_cast<char>(b));
  reply_.byte(b);
  return std::nullopt;
}

}  // namespace dravel::sim
