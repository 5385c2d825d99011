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
  std::int64_t whole = ms / 1000, part = ms % 1000;
  if (part < 0) {
    part += 1000;
    --whole;
  }
  const std::time_t t = static_cast<std::time_t>(whole);
  std::tm tm{};
  // Before 1970 or no time zone: UTC rather than nothing.
  if (localtime_s(&tm, &t) != 0) return utc_time(ms);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,          tm.tm_hour, tm.tm_min,
          tm.tm_sec,         static_cast<int>(part),  tm.tm_wday, tm.tm_yday};
}

}  // namespace dravel::platform
