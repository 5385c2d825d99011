#pragma once
#include <cstdint>
#include <ctime>

namespace dravel::platform {

// A reading of the local wall clock, to the millisecond.
struct LocalTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;  // 0..60 (a leap second)
  int millisecond = 0;
  int weekday = 4;   // 0 = Sunday
  int year_day = 0;  // 0..365
};

// `ms` since 1970 as a UTC calendar reading (pure: a clock with no time zone, as in tests).
LocalTime utc_time(std::int64_t ms);
// `ms` since 1970 as local time by the C library's conversion (localtime_r, localtime_s),
// which says false when it cannot: then UTC rather than nothing.
LocalTime local_time_by(std::int64_t ms, bool (*to_local)(std::time_t, std::tm&));

// Wall clock in whole seconds; all time limits are counted in it.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t seconds() = 0;
  // The same clock in milliseconds (seconds() is this / 1000), so a wait can end just as a
  // limit counted in whole seconds is reached.
  virtual std::int64_t milliseconds() { return seconds() * 1000; }
  // A reading of milliseconds() as the user's local time. Taken from a reading rather than
  // read anew, so a stamp's time of day and its count agree.
  virtual LocalTime local_time(std::int64_t ms) { return utc_time(ms); }
};

}  // namespace dravel::platform
