#include "platform/posix/system_clock.h"

#include <ctime>

namespace dravel::platform {

std::int64_t SystemClock::seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace dravel::platform
