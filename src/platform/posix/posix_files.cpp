#include "platform/posix/posix_files.h"

#include <unistd.h>

namespace dravel::platform {

bool PosixFiles::exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

bool PosixFiles::readable(const std::string& path) {
  return ::access(path.c_str(), R_OK) == 0;
}

}  // namespace dravel::platform
