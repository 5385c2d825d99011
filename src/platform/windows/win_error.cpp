#include "platform/windows/win_error.h"

#include <cstdio>

namespace dravel::platform {

std::string system_error_text(DWORD code) {
  char* text = nullptr;
  DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason;
  if (n != 0 && text != nullptr) reason.assign(text, n);
  if (text != nullptr) LocalFree(text);
  while (!reason.empty() &&
         (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
    reason.pop_back();
  if (reason.empty()) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "error %lu", static_cast<unsigned long>(code));
    reason = buf;
  }
  return reason;
}

}  // namespace dravel::platform
