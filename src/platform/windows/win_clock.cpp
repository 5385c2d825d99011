#include "platform/windows/win_clock.h"

#include <ctime>

namespace dravel::platform {

std::int64_t WinClock::seconds() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace dravel::platform
