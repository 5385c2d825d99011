#include "core/signal_flag.h"

#include <csignal>

namespace dravel {

namespace {
volatile std::sig_atomic_t g_signal = 0;
}

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
