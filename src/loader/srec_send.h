#pragma once
#include <cstdio>

#include "core/command_result.h"

namespace dravel {

class Link;

// The monitor's acknowledgement after each line: 'N', then the first LF after it.
inline constexpr char SREC_ACK[] = "N\n";
// One read of the file: at most this many characters, up to and including an LF.
inline constexpr int SREC_LINE_MAX = 255;
// Progress and the timeout's reference time move every this many lines.
inline constexpr int SREC_PROGRESS_LINES = 32;
// More than this many whole seconds since the reference time cancels the load.
inline constexpr int SREC_TIMEOUT_SECONDS = 4;
// Reads between looks at the keyboard and the clock while the line keeps arriving; every
// idle wait is followed by both.
inline constexpr int SREC_READS_PER_LOOK = 16;

// `opened`, when given, is the file already open (and checked) under `name`. Every failure
// queues BREAK; the progress and the summary are printed as the lines go.
CommandResult srec_send(Link& link, const char* name, int verbose, std::FILE* opened = nullptr);

}  // namespace dravel
