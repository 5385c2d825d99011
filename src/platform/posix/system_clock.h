#pragma once
#include "platform/clock.h"

namespace dravel::platform {

class SystemClock : public Clock {
 public:
  std::int64_t seconds() override { return milliseconds() / 1000; }
  std::int64_t milliseconds() override;
  LocalTime local_time(std::int64_t ms) override;
};

// Milliseconds of a clock that never jumps, for short waits inside the platform layer.
std::int64_t steady_ms();

}  // namespace dravel::platform
