#include "platform/windows/win_files.h"

#include <io.h>

#include "platform/file_inside.h"
#include "platform/windows/com_port_list.h"

namespace dravel::platform {

namespace {
constexpr int EXISTS = 0;
constexpr int READ = 4;
}  // namespace

bool WinFiles::exists(const std::string& path) {
  return _access(path.c_str(), EXISTS) == 0;
}
bool WinFiles::readable(const std::string& path) {
  return _access(path.c_str(), READ) == 0;
}

std::FILE* WinFiles::open_inside(const std::string& dir, const std::string& name,
                                 std::string& why) {
  return open_file_inside(dir, name, why);
}

std::vector<std::string> WinFiles::serial_devices() {
  return com_port_lines(read_serialcomm());
}

}  // namespace dravel::platform
