#include "base/signal_flag.h"

#include <atomic>

namespace dravel {

namespace {
// Written from a signal handler or another thread: only a lock-free atomic is safe for both.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> g_signal{0};
}  // namespace

int pending_signal() {
  return g_signal.load();
}
void record_signal(int signal_number) {
  g_signal.store(signal_number);
}
void clear_signal() {
  g_signal.store(0);
}

}  // namespace dravel
