#include "platform/platform.h"

namespace dravel::platform {

// The first port at 0x3F8, the second for any other address.
std::string default_device_name(unsigned io_address) {
#if defined(_WIN32)
  return io_address == 0x3F8 ? "Com1" : "Com2";
#else
  return io_address == 0x3F8 ? "/dev/ttyS0" : "/dev/ttyS1";
#endif
}

}  // namespace dravel::platform
