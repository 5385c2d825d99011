#pragma once
#include <string>

namespace dravel::platform {

// The name to give CreateFileA for a serial device the user named: "COM10" and above only
// open through the device namespace ("\\.\COM10"); everything else is taken as given.
std::string com_device_path(const std::string& name);

}  // namespace dravel::platform
