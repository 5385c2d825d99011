#include "platform/posix/system_clock.h"

#include <chrono>
#include <ctime>

namespace dravel::platform {

std::int64_t SystemClock::seconds() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

std::int64_t steady_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace dravel::platform
