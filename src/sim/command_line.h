#pragma once
// The monitor's own line input in command mode: echoes what is typed, erases with
// backspace or DEL, and hands over the line on CR.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/reply.h"

namespace dravel::sim {

class CommandLine {
 public:
  static constexpr std::size_t MAX_LINE = 255;

  explicit CommandLine(Reply& reply) : reply_(reply) {}

  // One byte from the host; the finished line when it was a CR.
  std::optional<std::string> feed(std::uint8_t b);
  void clear() { line_.clear(); }
  const std::string& text() const { return line_; }

 private:
  Reply& reply_;
  std::string line_;
};

}  // namespace dravel::sim
