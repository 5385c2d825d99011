#include "platform/posix/posix_files.h"

#include <unistd.h>

#include "platform/file_inside.h"
#include "platform/posix/serial_device_list.h"

namespace dravel::platform {

bool PosixFiles::exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

bool PosixFiles::readable(const std::string& path) {
  return ::access(path.c_str(), R_OK) == 0;
}

std::FILE* PosixFiles::open_inside(const std::string& dir, const std::string& name,
                                   std::string& why) {
  return open_file_inside(dir, name, why);
}

std::vector<std::string> PosixFiles::serial_devices() {
  return list_serial_devices(root_);
}

}  // namespace dravel::platform
