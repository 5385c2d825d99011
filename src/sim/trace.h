#pragma once
// The wire as the monitor sees it, both directions in order. Consecutive bytes in the
// same direction are kept as one entry.
#include <cstddef>
#include <cstdint>
#include <functional>
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
  using Listener = std::function<void(Direction, std::string_view)>;

  void record(Direction d, std::string_view bytes);

  const std::vector<TraceEntry>& entries() const { return entries_; }
  // Everything in one direction, concatenated.
  std::string from_host() const { return joined(Direction::from_host); }
  std::string to_host() const { return joined(Direction::to_host); }
  void clear() { entries_.clear(); }

  // Also hands every recorded piece to `listener` (e.g. a wire log).
  void set_listener(Listener listener) { listener_ = std::move(listener); }
  // A long-running program that only logs can stop keeping entries.
  void set_keep(bool keep) { keep_ = keep; }

 private:
  std::string joined(Direction d) const;

  std::vector<TraceEntry> entries_;
  Listener listener_;
  bool keep_ = true;
};

// One entry as wire-log lines: a direction mark, then up to 16 bytes per line in hex
// and as text ("H>M 62 77 72 0d  bwr.").
std::string format_trace_lines(Direction d, std::string_view bytes);

}  // namespace dravel::sim
