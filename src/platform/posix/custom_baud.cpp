// Kept apart from every <termios.h> user: the kernel's termios2 header clashes with it.
#include "platform/posix/custom_baud.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#endif

namespace dravel::platform {

#if defined(__linux__)

bool set_custom_baud(int fd, long baud, std::string& reason) {
  if (baud <= 0 || baud > 0x7FFFFFFF) {
    reason = "not a valid rate";
    return false;
  }
  termios2 before{};
  if (::ioctl(fd, TCGETS2, &before) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  termios2 t = before;
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = static_cast<speed_t>(baud);
  t.c_ospeed = static_cast<speed_t>(baud);
  if (::ioctl(fd, TCSETS2, &t) != 0) {
    reason = std::strerror(errno);
    ::ioctl(fd, TCSETS2, &before);
    return false;
  }
  return true;
}

long line_rate(int fd) {
  termios2 t{};
  if (::ioctl(fd, TCGETS2, &t) != 0) return 0;
  return static_cast<long>(t.c_ospeed);
}

#else

bool set_custom_baud(int, long, std::string& reason) {
  reason = "only standard rates are supported on this system";
  return false;
}

long line_rate(int) {
  return 0;
}

#endif

}  // namespace dravel::platform
