#include "platform/posix/system_clock.h"

#include <chrono>
#include <ctime>

namespace dravel::platform {

std::int64_t SystemClock::milliseconds() {
  using std::chrono::duration_cast;
  return duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

LocalTime SystemClock::local_time(std::int64_t ms) {
  return local_time_by(
      ms, [](std::time_t t, std::tm& tm) { return ::localtime_r(&t, &tm) != nullptr; });
}

std::int64_t steady_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace dravel::platform
