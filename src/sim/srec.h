#pragma once
// One Motorola S-record line, parsed and checked.
#include <cstdint>
#include <string_view>
#include <vector>

namespace dravel::sim {

enum class SrecError {
  none,
  not_a_record,  // does not begin with 'S' and a digit
  unknown_type,  // S4
  bad_hex,       // a character that is not a hexadecimal digit
  bad_length,    // the count byte disagrees with the line, or is too small
  bad_checksum,
};

enum class SrecKind { header, data, count, start };

struct SrecRecord {
  int type = 0;  // 0 to 9
  SrecKind kind = SrecKind::header;
  std::uint32_t address = 0;
  std::vector<std::uint8_t> data;
};

struct SrecResult {
  SrecError error = SrecError::none;
  SrecRecord record;
};

// Parses one line without its line end; trailing blanks and a CR are ignored.
SrecResult parse_srec(std::string_view line);

// A short lower-case description, for the monitor's error lines.
std::string_view srec_error_text(SrecError e);

}  // namespace dravel::sim
