#pragma once
// All console output goes through these.
#include <string_view>

#include "platform/console.h"

namespace dravel {

void console_write(platform::Console& c, std::string_view text);
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void console_printf(platform::Console& c, const char* format, ...);
void console_put_chars(platform::Console& c, const char* text);
void console_put_backspaces(platform::Console& c, int n);

}  // namespace dravel
