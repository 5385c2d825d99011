#include "platform/windows/win_clock.h"

#include <chrono>
#include <ctime>

namespace dravel::platform {

std::int64_t WinClock::milliseconds() {
  using std::chrono::duration_cast;
  return duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

LocalTime WinClock::local_time(std::int64_t ms) {
  return local_time_by(ms, [](std::time_t t, std::tm& tm) { return localtime_s(&tm, &t) == 0; });
}

}  // namespace dravel::platform
