#pragma once
#include <cstdint>

namespace dravel::platform {

// Wall clock in whole seconds; all time limits are counted in it.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t seconds() = 0;
};

}  // namespace dravel::platform
