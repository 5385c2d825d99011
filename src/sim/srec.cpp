#include "sim/srec.h"

#include <array>

namespace dravel::sim {

namespace {

struct TypeInfo {
  int address_bytes;  // 0: not a valid type
  SrecKind kind;
};

constexpr std::array<TypeInfo, 10> TYPES = {{
    {2, SrecKind::header},  // S0
    {2, SrecKind::data},    // S1
    {3, SrecKind::data},    // S2
    {4, SrecKind::data},    // S3
    {0, SrecKind::header},  // S4, reserved
    {2, SrecKind::count},   // S5
    {3, SrecKind::count},   // S6
    {4, SrecKind::start},   // S7
    {3, SrecKind::start},   // S8
    {2, SrecKind::start},   // S9
}};

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

SrecResult parse_srec(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.remove_suffix(1);
  }
  SrecResult result;
  if (line.size() < 2 || line[0] != 'S' || line[1] < '0' || line[1] > '9') {
    result.error = SrecError::not_a_record;
    return result;
  }
  SrecRecord& rec = result.record;
  rec.type = line[1] - '0';
  const TypeInfo& info = TYPES[static_cast<std::size_t>(rec.type)];
  if (info.address_bytes == 0) {
    result.error = SrecError::unknown_type;
    return result;
  }
  rec.kind = info.kind;

  std::string_view hex = line.substr(2);
  if (hex.size() % 2 != 0) {
    result.error = hex_value(hex.back()) < 0 ? SrecError::bad_hex : SrecError::bad_length;
    return result;
  }
  std::vector<std::uint8_t> bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int hi = hex_value(hex[i]);
    int lo = hex_value(hex[i + 1]);
    if (hi < 0 || lo < 0) {
      result.error = SrecError::bad_hex;
      return result;
    }
    bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  // Count byte, address, checksum at the least.
  const std::size_t min_count = static_cast<std::size_t>(info.address_bytes) + 1;
  if (bytes.empty() || bytes[0] + 1u != bytes.size() || bytes[0] < min_count) {
    result.error = SrecError::bad_length;
    return result;
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
  if (static_cast<std::uint8_t>(~sum) != bytes.back()) {
    result.error = SrecError::bad_checksum;
    return result;
  }
  for (int i = 0; i < info.address_bytes; ++i) {
    rec.address = (rec.address << 8) | bytes[1 + static_cast<std::size_t>(i)];
  }
  rec.data.assign(bytes.begin() + 1 + info.address_bytes, bytes.end() - 1);
  return result;
}

std::string_view srec_error_text(SrecError e) {
  switch (e) {
    case SrecError::none:
      return "ok";
    case SrecError::not_a_record:
      return "not an s-record";
    case SrecError::unknown_type:
      return "unknown record type";
    case SrecError::bad_hex:
      return "bad hex digit";
    case SrecError::bad_length:
      return "bad record length";
    case SrecError::bad_checksum:
      return "checksum error";
  }
  return "error";
}

}  // namespace dravel::sim
