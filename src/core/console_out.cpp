#include "core/console_out.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace dravel {

void console_write(platform::Console& c, std::string_view text) {
  c.write(text);
}

void console_printf(platform::Console& c, const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    va_end(again);
    return;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    va_end(again);
    c.write(std::string_view(small, static_cast<size_t>(n)));
    return;
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(big.data(), big.size(), format, again);
  va_end(again);
  big.resize(static_cast<size_t>(n));
  c.write(big);
}

void console_put_chars(platform::Console& c, const char* text) {
  c.write(std::string_view(text));
}

void console_put_backspaces(platform::Console& c, int n) {
  if (n <= 0) return;
  c.write(std::string(static_cast<size_t>(n), '\b'));
}

}  // namespace dravel
