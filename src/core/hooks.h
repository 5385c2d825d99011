#pragma once
// What the layers above core/ register so that core's waits and exits can serve them without
// knowing them: core/ reads no field of theirs, it calls what they left here.
#include <cstdint>
#include <functional>
#include <vector>

namespace dravel {

struct Hooks {
  // Each gives its next due moment in clock milliseconds, or NO_DEADLINE (core/wake_deadline.h).
  std::vector<std::function<std::int64_t()>> deadline_sources;
  // Run before every idle wait, in the order registered (a lost device is tended here). Each
  // says whether it acted: what a caller waits on may have changed (a timed line put back,
  // a device back), so that wait returns at once instead of sleeping on the old state.
  std::vector<std::function<bool()>> tenders;
  // True while input already read from the seam waits above it (a handshake's read-ahead):
  // an idle wait for more than keys then returns at once instead of blocking on the seam.
  std::vector<std::function<bool()>> held_input;
  // Run, in the order registered, before the program ends from inside a wait or at its end
  // (the port closed, then the history saved).
  std::vector<std::function<void()>> exit_actions;

  std::int64_t nearest(std::int64_t deadline) const;
  // True when a tender acted.
  bool tend() const;
  bool input_held() const;
  void run_exit_actions() const;
};

}  // namespace dravel
