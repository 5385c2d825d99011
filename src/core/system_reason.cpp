#include "core/system_reason.h"

#include <cerrno>
#include <cstring>

namespace dravel {

std::string system_reason(int error_number) {
  return error_number != 0 ? std::strerror(error_number) : "cannot be opened";
}

std::string open_failure() {
  return system_reason(errno);
}

}  // namespace dravel
