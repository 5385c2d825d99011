#include "core/signal_flag.h"

#include <atomic>

namespace dravel {

namespace {
std::atomic<int> g_signal{0};  // set by a handler thread on Windows: lock-free, so signal-safe too
static_assert(std::atomic<int>::is_always_lock_free);
}  // namespace

int pending_signal() {
  return g_signal;
}
void record_signal(int signal_number) {
  g_signal = signal_number;
}
void clear_signal() {
  g_signal = 0;
}

}  // namespace dravel
