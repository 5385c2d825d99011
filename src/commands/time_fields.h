#pragma once
// The strftime fields a log name may carry, filled from the clock seam's local time. Filled
// here rather than by strftime: the same result on every platform, and no C library
// that aborts on a field it does not know (the Windows one does).
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace dravel {

// A reading of the local wall clock, to the millisecond (the clock seam gives it).
using platform::LocalTime;

// The fields a log name may use, for the message that names them.
inline constexpr const char* TIME_FIELDS = "%Y %y %m %d %H %M %S %j %F %T %a %b %%";

struct TimeFieldsResult {
  std::string text;
  std::string error;  // why the pattern cannot be used; empty when it can
};

// `pattern` with each %-field replaced by its value at `when`. A field not in TIME_FIELDS,
// a lone % at the end or a result longer than `limit` is an error.
TimeFieldsResult expand_time_fields(std::string_view pattern, const LocalTime& when,
                                    std::size_t limit = 4096);

}  // namespace dravel
