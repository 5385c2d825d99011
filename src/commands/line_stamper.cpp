#include "commands/line_stamper.h"

#include <cinttypes>
#include <cstdio>

namespace dravel {

namespace {

struct ModeName {
  StampMode mode;
  const char* name;
};
constexpr ModeName MODE_NAMES[] = {
    {StampMode::Off, "off"},
    {StampMode::Abs, "abs"},
    {StampMode::Delta, "delta"},
    {StampMode::Iso, "iso"},
};

}  // namespace

std::optional<StampMode> parse_stamp_mode(std::string_view word) {
  for (const ModeName& m : MODE_NAMES)
    if (word == m.name) return m.mode;
  return std::nullopt;
}

const char* stamp_mode_name(StampMode mode) {
  for (const ModeName& m : MODE_NAMES)
    if (m.mode == mode) return m.name;
  return "off";
}

std::string format_stamp(StampMode mode, const StampTime& now,
                         std::optional<std::int64_t> previous_ms) {
  char buf[128];  // room for any int in every field
  const LocalTime& t = now.local;
  switch (mode) {
    case StampMode::Off:
      return {};
    case StampMode::Abs:
      std::snprintf(buf, sizeof buf, "[%02d:%02d:%02d.%03d] ", t.hour, t.minute, t.second,
                    t.millisecond);
      break;
    case StampMode::Iso:
      std::snprintf(buf, sizeof buf, "[%04d-%02d-%02dT%02d:%02d:%02d.%03d] ", t.year, t.month,
                    t.day, t.hour, t.minute, t.second, t.millisecond);
      break;
    case StampMode::Delta: {
      // A clock that stepped back shows as no time rather than a negative one.
      std::int64_t d =
          previous_ms && now.steady_ms > *previous_ms ? now.steady_ms - *previous_ms : 0;
      std::snprintf(buf, sizeof buf, "[+%" PRId64 ".%03" PRId64 "] ", d / 1000, d % 1000);
      break;
    }
  }
  return buf;
}

void LineStamper::feed(std::string_view bytes, const StampTime& now, std::string& out) {
  out.reserve(out.size() + bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (!mid_line_) {
      if (mode_ != StampMode::Off) {
        out += format_stamp(mode_, now, last_stamp_ms_);
        last_stamp_ms_ = now.steady_ms;
      }
      mid_line_ = true;
    }
    // The rest of this line, up to and with its LF, goes as it came.
    const std::size_t lf = bytes.find('\n', i);
    const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf + 1;
    out.append(bytes.substr(i, end - i));
    if (lf != std::string_view::npos) mid_line_ = false;
    i = end;
  }
}

}  // namespace dravel
