#include "platform/windows/win_clock.h"

#include <chrono>

namespace dravel::platform {

std::int64_t WinClock::milliseconds() {
  using std::chrono::duration_cast;
  return duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace dravel::platform
