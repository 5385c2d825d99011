#include "sim/reply.h"

#include <algorithm>
#include <cstring>

namespace dravel::sim {

void Reply::say(std::string_view text) {
  if (muted_ || text.empty()) return;
  queue_.append(text);
  trace_.record(Direction::to_host, text);
}

void Reply::prompt() {
  if (!faults_.hold_prompt) say(PROMPT);
}

std::size_t Reply::take(std::uint8_t* buf, std::size_t max) {
  std::size_t n = std::min(max, pending());
  std::memcpy(buf, queue_.data() + head_, n);
  head_ += n;
  // Keep the taken prefix from growing without end.
  if (head_ == queue_.size()) {
    queue_.clear();
    head_ = 0;
  } else if (head_ > 4096 && head_ * 2 > queue_.size()) {
    queue_.erase(0, head_);
    head_ = 0;
  }
  return n;
}

}  // namespace dravel::sim
