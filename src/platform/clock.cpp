#include "platform/clock.h"

namespace dravel::platform {

namespace {

// Days since 1970-01-01 as a proleptic Gregorian date (the well-known era arithmetic:
// 400-year eras of 146097 days, the year counted from March so the leap day comes last).
void civil_from_days(std::int64_t z, LocalTime& t) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  t.year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  t.month = static_cast<int>(m);
  t.day = static_cast<int>(d);
}

bool leap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

}  // namespace

LocalTime utc_time(std::int64_t ms) {
  constexpr std::int64_t DAY_MS = 86'400'000;
  std::int64_t days = ms / DAY_MS;
  std::int64_t in_day = ms % DAY_MS;
  if (in_day < 0) {
    in_day += DAY_MS;
    --days;
  }
  LocalTime t;
  civil_from_days(days, t);
  t.hour = static_cast<int>(in_day / 3'600'000);
  t.minute = static_cast<int>(in_day / 60'000 % 60);
  t.second = static_cast<int>(in_day / 1000 % 60);
  t.millisecond = static_cast<int>(in_day % 1000);
  t.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  constexpr int BEFORE_MONTH[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  t.year_day = BEFORE_MONTH[t.month - 1] + t.day - 1 + (t.month > 2 && leap(t.year) ? 1 : 0);
  return t;
}

LocalTime local_time_by(std::int64_t ms, bool (*to_local)(std::time_t, std::tm&)) {
  std::int64_t whole = ms / 1000, part = ms % 1000;
  if (part < 0) {
    part += 1000;
    --whole;
  }
  std::tm tm{};
  if (!to_local(static_cast<std::time_t>(whole), tm)) return utc_time(ms);
  return {tm.tm_year + 1900, tm.tm_mon + 1,          tm.tm_mday, tm.tm_hour, tm.tm_min,
          tm.tm_sec,         static_cast<int>(part), tm.tm_wday, tm.tm_yday};
}

}  // namespace dravel::platform
