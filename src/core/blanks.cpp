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

}  // namespace dravel
