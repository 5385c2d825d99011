#pragma once
#include <string>

namespace dravel::platform {

// Sets a rate that has no standard speed constant (Linux: termios2 with BOTHER).
// On failure the device keeps its settings and `reason` says why.
bool set_custom_baud(int fd, long baud, std::string& reason);

}  // namespace dravel::platform
