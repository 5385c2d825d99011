#include "platform/windows/win_files.h"

#include <io.h>

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

}  // namespace dravel::platform
