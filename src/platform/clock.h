#pragma once
#include <cstdint>

namespace dravel::platform {

// Wall clock in whole seconds; all time limits are counted in it.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t seconds() = 0;
  // The same clock in milliseconds (seconds() is this / 1000), so a wait can end just as a
  // limit counted in whole seconds is reached.
  virtual std::int64_t milliseconds() { return seconds() * 1000; }
};

}  // namespace dravel::platform
