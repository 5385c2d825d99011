#include "commands/time_fields.h"

#include <cstdio>

namespace dravel {

namespace {

constexpr const char* WEEKDAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* MONTHS[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A number with at least `width` digits, zero-padded (a negative year keeps its sign).
void number(std::string& out, long value, int width) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%0*ld", width, value);
  out += buf;
}

const char* name_in(const char* const* names, int count, int index) {
  return index >= 0 && index < count ? names[index] : "?";
}

struct NumberField {
  char letter;
  int LocalTime::*value;
  int width;
  int add;
};
constexpr NumberField NUMBERS[] = {
    {'Y', &LocalTime::year, 4, 0},     {'m', &LocalTime::month, 2, 0},
    {'d', &LocalTime::day, 2, 0},      {'H', &LocalTime::hour, 2, 0},
    {'M', &LocalTime::minute, 2, 0},   {'S', &LocalTime::second, 2, 0},
    {'j', &LocalTime::year_day, 3, 1},
};
// Fields that stand for others.
struct Alias {
  char letter;
  const char* fields;
};
constexpr Alias ALIASES[] = {{'F', "%Y-%m-%d"}, {'T', "%H:%M:%S"}};

// False for a letter that is no field.
bool field(char letter, const LocalTime& t, std::string& out) {
  for (const NumberField& n : NUMBERS)
    if (n.letter == letter) {
      number(out, static_cast<long>(t.*n.value) + n.add, n.width);
      return true;
    }
  for (const Alias& a : ALIASES)
    if (a.letter == letter) {
      out += expand_time_fields(a.fields, t).text;
      return true;
    }
  switch (letter) {
    case 'y':
      number(out, ((t.year % 100) + 100) % 100, 2);
      return true;
    case 'a':
      out += name_in(WEEKDAYS, 7, t.weekday);
      return true;
    case 'b':
      out += name_in(MONTHS, 12, t.month - 1);
      return true;
    case '%':
      out += '%';
      return true;
    default:
      return false;
  }
}

}  // namespace

TimeFieldsResult expand_time_fields(std::string_view pattern, const LocalTime& when,
                                    std::size_t limit) {
  TimeFieldsResult r;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      r.text += pattern[i];
    } else if (i + 1 == pattern.size()) {
      r.error = std::string("a lone % at the end (fields: ") + TIME_FIELDS + ")";
    } else if (!field(pattern[++i], when, r.text)) {
      r.error =
          "%" + std::string(1, pattern[i]) + " is not a time field (fields: " + TIME_FIELDS + ")";
    }
    if (r.error.empty() && r.text.size() > limit)
      r.error = "longer than " + std::to_string(limit) + " characters once filled in";
    if (!r.error.empty()) {
      r.text.clear();
      return r;
    }
  }
  return r;
}

}  // namespace dravel
