#pragma once
// Every line of an S-record file is a record before the first one is sent: the monitor takes
// a file line by line, so a broken or foreign file would otherwise go half out before the
// board notices. The records' checksums stay the monitor's business.
#include <string_view>

namespace dravel {

class TextReader;

// The longest record: 'S', the type, the count and 255 bytes in hex.
inline constexpr int SREC_RECORD_MAX = 4 + 2 * 255;

// The reason for a line that does not begin with 'S' and a digit, and for an empty file.
inline constexpr const char* SREC_NO_START = "does not begin with S and a digit";

// Why `line` (its LF, if any, not included) is not a record, or nullptr when it is one.
const char* srec_line_problem(std::string_view line);

struct SrecFileProblem {
  int line = 0;  // 1 for the first line; 0 when every line is sound
  const char* reason = nullptr;
};

// Reads the whole file: the first line must be a record, later blank lines are let through.
// The reader is rewound afterwards.
SrecFileProblem srec_file_problem(TextReader& file);

}  // namespace dravel
