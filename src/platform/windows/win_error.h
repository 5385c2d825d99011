#pragma once
#include <windows.h>

#include <string>

namespace dravel::platform {

// The system's own text for an error code, on one line ("Access is denied.").
std::string system_error_text(DWORD code);

}  // namespace dravel::platform
