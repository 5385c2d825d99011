#pragma once
// All console output goes through these.
#include <string>
#include <string_view>

#include "platform/console.h"

namespace dravel {

void console_write(platform::Console& c, std::string_view text);
[[gnu::format(printf, 2, 3)]] void console_printf(platform::Console& c, const char* format, ...);
// The text console_printf would write, for a result's reason.
[[gnu::format(printf, 1, 2)]] std::string format_text(const char* format, ...);
void console_put_chars(platform::Console& c, const char* text);
void console_put_backspaces(platform::Console& c, int n);

}  // namespace dravel
