#include "platform/windows/com_port_name.h"

#include <cctype>

namespace dravel::platform {

namespace {

constexpr const char* DEVICE_NAMESPACE = "\\\\.\\";

// The port number of "COMn" in any letter case, or -1.
long com_number(const std::string& name) {
  if (name.size() < 4) return -1;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[static_cast<std::size_t>(i)])) != "COM"[i])
      return -1;
  long n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 100000) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

}  // namespace

std::string com_device_path(const std::string& name) {
  if (com_number(name) >= 10) return DEVICE_NAMESPACE + name;
  return name;
}

}  // namespace dravel::platform
