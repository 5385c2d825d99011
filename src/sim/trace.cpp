#include "sim/trace.h"

#include <cstdio>

namespace dravel::sim {

void Trace::record(Direction d, std::string_view bytes) {
  if (bytes.empty()) return;
  if (!keep_) return;
  if (!entries_.empty() && entries_.back().direction == d) {
    entries_.back().bytes.append(bytes);
  } else {
    entries_.push_back({d, std::string(bytes)});
  }
}

std::string Trace::joined(Direction d) const {
  std::string out;
  for (const TraceEntry& e : entries_) {
    if (e.direction == d) out += e.bytes;
  }
  return out;
}

std::string format_trace_lines(Direction d, std::string_view bytes) {
  constexpr std::size_t PER_LINE = 16;
  const char* mark = d == Direction::from_host ? "H>M" : "M>H";
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += PER_LINE) {
    std::string_view piece = bytes.substr(at, PER_LINE);
    out += mark;
    char hex[4];
    for (std::size_t i = 0; i < PER_LINE; ++i) {
      if (i < piece.size()) {
        std::snprintf(hex, sizeof hex, " %02x", static_cast<unsigned char>(piece[i]));
        out += hex;
      } else {
        out += "   ";
      }
    }
    out += "  ";
    for (char c : piece) out += (c >= 0x20 && c < 0x7f) ? c : '.';
    out += '\n';
  }
  return out;
}

}  // namespace dravel::sim
