#pragma once
#include <string>

namespace dravel::platform {

// Sets a rate that has no standard speed constant (Linux: termios2 with BOTHER).
// On failure the device keeps its settings and `reason` says why. A driver may take the
// request and run another rate: line_rate tells.
bool set_custom_baud(int fd, long baud, std::string& reason);

// The output rate the driver reports (Linux: TCGETS2, which drivers fill in with the rate
// their clock makes or the one they fell back to); 0 when the system cannot tell.
long line_rate(int fd);

}  // namespace dravel::platform
