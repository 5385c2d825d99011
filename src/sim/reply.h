#pragma once
// What the monitor says to the host: a queue of bytes waiting for the line, recorded in
// the trace as they are queued. Faults that silence the monitor act here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/faults.h"
#include "sim/trace.h"

namespace dravel::sim {

// Sent whenever the monitor is ready for a command.
inline constexpr std::string_view PROMPT = "\r\n  \r>> ";

class Reply {
 public:
  Reply(Trace& trace, const Faults& faults) : trace_(trace), faults_(faults) {}

  void say(std::string_view text);
  void byte(std::uint8_t b) { say(std::string_view(reinterpret_cast<const char*>(&b), 1)); }
  void prompt();

  // Nothing said from now on reaches the queue.
  void mute() { muted_ = true; }
  bool muted() const { return muted_; }

  std::size_t pending() const { return queue_.size() - head_; }
  // Takes up to `max` bytes from the front of the queue.
  std::size_t take(std::uint8_t* buf, std::size_t max);

 private:
  Trace& trace_;
  const Faults& faults_;
  std::string queue_;
  std::size_t head_ = 0;
  bool muted_ = false;
};

}  // namespace dravel::sim
