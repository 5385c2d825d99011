#include "core/console_out.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace dravel {

void console_write(platform::Console& c, std::string_view text) {
  c.write(text);
}

namespace {

[[gnu::format(printf, 1, 0)]] std::string vformat(const char* format, va_list args) {
  char small[512];
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(small, sizeof small, format, args);
  if (n < 0 || static_cast<size_t>(n) < sizeof small) {
    va_end(again);
    return n < 0 ? std::string() : std::string(small, static_cast<size_t>(n));
  }
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(big.data(), big.size(), format, again);
  va_end(again);
  big.resize(static_cast<size_t>(n));
  return big;
}

}  // namespace

std::string format_text(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  return text;
}

void console_printf(platform::Console& c, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  if (!text.empty()) c.write(text);
}

void console_put_chars(platform::Console& c, const char* text) {
  c.write(std::string_view(text));
}

void console_put_backspaces(platform::Console& c, int n) {
  if (n <= 0) return;
  c.write(std::string(static_cast<size_t>(n), '\b'));
}

}  // namespace dravel
