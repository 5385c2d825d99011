#pragma once
#include "platform/clock.h"

namespace dravel::platform {

class WinClock : public Clock {
 public:
  std::int64_t seconds() override { return milliseconds() / 1000; }
  std::int64_t milliseconds() override;
  LocalTime local_time(std::int64_t ms) override;
};

}  // namespace dravel::platform
