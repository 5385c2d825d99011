#include "loader/srec_check.h"

#include "core/text_reader.h"

namespace dravel {

namespace {

// Address bytes of each record type S0 to S9; S4 is reserved and has none of its own.
constexpr int ADDRESS_BYTES[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
constexpr int CHECKSUM_BYTES = 1;

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool blank(std::string_view line) {
  for (char c : line)
    if (c != ' ' && c != '\t' && c != '\r') return false;
  return true;
}

}  // namespace

const char* srec_line_problem(std::string_view line) {
  if (line.size() < 2 || line[0] != 'S' || line[1] < '0' || line[1] > '9') return SREC_NO_START;
  if (line.size() > static_cast<std::size_t>(SREC_RECORD_MAX)) return "is too long for a record";
  for (std::size_t i = 2; i < line.size(); ++i)
    if (hex_value(line[i]) < 0) return "holds a character that is not a hex digit";
  if (line.size() < 4 || line.size() % 2 != 0) return "has an odd or missing count of digits";
  const int count = hex_value(line[2]) * 16 + hex_value(line[3]);
  if (static_cast<std::size_t>(count) * 2 != line.size() - 4)
    return "has a byte count that does not fit its length";
  if (count < ADDRESS_BYTES[line[1] - '0'] + CHECKSUM_BYTES)
    return "is too short for its address and checksum";
  return nullptr;
}

SrecFileProblem srec_file_problem(TextReader& file) {
  // One more than a record and its LF, so an overlong line shows as one.
  char buf[SREC_RECORD_MAX + 3];
  SrecFileProblem found;
  int number = 0;
  while (found.line == 0 && file.read_line(buf, sizeof buf)) {
    std::string_view line(buf, static_cast<std::size_t>(file.last_length()));
    if (line.back() == '\n') line.remove_suffix(1);
    if (++number > 1 && blank(line)) continue;
    if (const char* why = srec_line_problem(line)) found = {number, why};
  }
  if (number == 0) found = {1, SREC_NO_START};
  file.rewind();
  return found;
}

}  // namespace dravel
