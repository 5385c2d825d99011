#pragma once
// The wire as the monitor sees it, both directions in order. Consecutive bytes in the
// same direction are kept as one entry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dravel::sim {

enum class Direction { from_host, to_host };

struct TraceEntry {
  Direction direction;
  std::string bytes;
};

class Trace {
 public:
  void record(Direction d, std::string_view bytes);

  const std::vector<TraceEntry>& entries() const { return entries_; }
  // Everything in one direction, concatenated.
  std::string from_host() const { return joined(Direction::from_host); }
  std::string to_host() const { return joined(Direction::to_host); }
  void clear() { entries_.clear(); }

  // A long-running program that keeps no log need not keep entries.
  void set_keep(bool keep) { keep_ = keep; }

 private:
  std::string joined(Direction d) const;

  std::vector<TraceEntry> entries_;
  bool keep_ = true;
};

// One entry as wire-log lines: a direction mark, then up to 16 bytes per line in hex
// and as text ("H>M 62 77 72 0d  bwr.").
std::string format_trace_lines(Direction d, std::string_view bytes);

}  // namespace dravel::sim
