#include "core/blanks.h"

#include <cctype>

namespace dravel {

static bool is_blank(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

char* skip_blanks(char* text) {
  while (*text != '\0' && is_blank(*text)) ++text;
  return text;
}
const char* skip_blanks(const char* text) {
  while (*text != '\0' && is_blank(*text)) ++text;
  return text;
}
char* find_blank(char* text) {
  while (*text != '\0' && !is_blank(*text)) ++text;
  return text;
}
const char* find_blank(const char* text) {
  while (*text != '\0' && !is_blank(*text)) ++text;
  return text;
}

const char* parse_count(const char* text, int limit, int& value) {
  if (std::isdigit(static_cast<unsigned char>(*text)) == 0) return nullptr;
  long long n = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)) != 0; ++text) {
    n = n * 10 + (*text - '0');
    if (n > limit) return nullptr;
  }
  value = static_cast<int>(n);
  return text;
}

}  // namespace dravel
