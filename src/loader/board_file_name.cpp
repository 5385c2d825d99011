#include "loader/board_file_name.h"

#include <cctype>

namespace dravel {

namespace {

bool separator(char c) {
  return c == '/' || c == '\\';
}

// Names Windows opens as devices in every directory, with or without an extension.
constexpr std::string_view DEVICE_NAMES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
constexpr std::string_view NUMBERED_DEVICES[] = {"COM", "LPT"};

bool same_letters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

bool device_name(std::string_view part) {
  std::string_view stem = part.substr(0, part.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  for (std::string_view d : DEVICE_NAMES)
    if (same_letters(stem, d)) return true;
  for (std::string_view d : NUMBERED_DEVICES)
    if (stem.size() == 4 && same_letters(stem.substr(0, 3), d) &&
        std::isdigit(static_cast<unsigned char>(stem[3])))
      return true;
  return false;
}

}  // namespace

const char* board_file_name_refusal(std::string_view name) {
  if (name.empty()) return "an empty name";
  if (separator(name[0]))
    return name.size() > 1 && separator(name[1]) ? "a network share" : "an absolute path";
  // "C:x" is relative to the drive's own current directory; a colon later names a stream.
  if (name.find(':') != std::string_view::npos) return "a drive or stream name";
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !separator(name[end])) ++end;
    std::string_view part = name.substr(start, end - start);
    if (part == "..") return "a name that climbs out with \"..\"";
    if (device_name(part)) return "a device name";
    start = end + 1;
  }
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20) return "a control character";
  return nullptr;
}

}  // namespace dravel
