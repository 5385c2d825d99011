#include "core/escaped_text.h"

#include <cstring>

namespace dravel {

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The named escapes and the bytes they stand for, position by position.
constexpr char NAMED[] = "rnt\\";
constexpr char MEANS[] = "\r\n\t\\";

}  // namespace

bool unescape(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (++i == text.size()) return false;
    if (text[i] == 'x') {
      if (i + 2 >= text.size()) return false;
      int high = hex_digit(text[i + 1]);
      int low = hex_digit(text[i + 2]);
      if (high < 0 || low < 0) return false;
      out.push_back(static_cast<char>(high * 16 + low));
      i += 2;
      continue;
    }
    const char* named = std::strchr(NAMED, text[i]);
    if (text[i] == '\0' || named == nullptr) return false;
    out.push_back(MEANS[named - NAMED]);
  }
  return true;
}

}  // namespace dravel
