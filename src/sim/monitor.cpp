#include "sim/monitor.h"

#include <algorithm>

#include "sim/commands.h"

namespace dravel::sim {

namespace {
constexpr std::uint8_t BREAK = 0x03;
}

Monitor::Monitor() = default;

void Monitor::start() {
  reply_.say(BANNER);
  reply_.prompt();
}

void Monitor::receive(const std::uint8_t* data, std::size_t n) {
  trace_.record(Direction::from_host, std::string_view(reinterpret_cast<const char*>(data), n));
  for (std::size_t i = 0; i < n; ++i) {
    ++received_;
    if (reply_.muted() || mute_trigger(data[i])) continue;
    feed(data[i]);
  }
}

void Monitor::receive(std::string_view bytes) {
  receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

bool Monitor::mute_trigger(std::uint8_t b) {
  bool fire = faults_.mute_after_bytes != 0 && received_ >= faults_.mute_after_bytes;
  const std::string& text = faults_.mute_after_text;
  if (!text.empty()) {
    recent_.push_back(static_cast<char>(b));
    if (recent_.size() > text.size()) recent_.erase(0, recent_.size() - text.size());
    fire = fire || recent_ == text;
  }
  if (fire) reply_.mute();
  return fire;
}

void Monitor::feed(std::uint8_t b) {
  switch (mode_) {
    case Mode::command: {
      if (b == BREAK) {
        line_.clear();
        reply_.say("^C");
        reply_.prompt();
        return;
      }
      auto line = line_.feed(b);
      if (!line) return;
      CommandContext ctx{memory_, registers_,   reply_,        binary_,
                         srec_,   stream_seed_, Mode::command, program_output_};
      run_command_line(ctx, *line);
      mode_ = ctx.next;
      return;
    }
    case Mode::srec_load:
      if (srec_.feed(b)) mode_ = Mode::command;
      return;
    case Mode::binary_write:
    case Mode::binary_read:
      if (binary_.feed(b)) mode_ = Mode::command;
      return;
  }
}

std::size_t Monitor::transmit(std::uint8_t* buf, std::size_t max) {
  return reply_.take(buf, max);
}

std::size_t Monitor::transmit(std::uint8_t* buf, std::size_t max, std::uint64_t now_us) {
  std::size_t ready = pacer_.release(reply_.pending(), now_us, max);
  return reply_.take(buf, ready);
}

std::string Monitor::take_output() {
  std::string out(reply_.pending(), '\0');
  reply_.take(reinterpret_cast<std::uint8_t*>(out.data()), out.size());
  return out;
}

}  // namespace dravel::sim
