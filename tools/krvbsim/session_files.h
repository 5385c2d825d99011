#pragma once
// Files krvbsim reads at start and writes at the end: memory preloads, memory dumps,
// the register file and the wire log.
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "sim/monitor.h"

namespace krvbsim {

// Each file into memory; false with the reason in `error`.
bool preload(dravel::sim::Monitor& m, const std::vector<Preload>& loads, std::string& error);
// Dumps and the register file; reasons for any that failed go to `errors`.
void write_results(dravel::sim::Monitor& m, const Options& o, std::vector<std::string>& errors);

// Logs the monitor's wire to a file: what the trace gathered since the last write.
class WireLog {
 public:
  ~WireLog();
  bool open(const std::string& path, dravel::sim::Monitor& m, std::string& error);
  // Writes and forgets the trace so far; the serving loop calls it before it sleeps.
  void write();

 private:
  std::FILE* file_ = nullptr;
  dravel::sim::Monitor* monitor_ = nullptr;
};

}  // namespace krvbsim
