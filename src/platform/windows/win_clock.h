#pragma once
#include "platform/clock.h"

namespace dravel::platform {

class WinClock : public Clock {
 public:
  std::int64_t seconds() override;
};

}  // namespace dravel::platform
