#pragma once
// The serving loop: bytes between the pty and the simulated monitor, paced when asked,
// asleep in poll() whenever there is nothing to do.
#include <functional>

#include "child.h"
#include "pty.h"
#include "signals.h"
#include "sim/monitor.h"

namespace krvbsim {

// Serves until SIGINT/SIGTERM/SIGHUP (status 0) or, with a child, until it ends (its
// status); 1 when the pty fails. `before_wait` runs each time before the loop sleeps.
// A `host_baud` above 0 hands the host's bytes to the monitor only once they would have
// crossed a line of that rate, so transfers to the monitor take their real time too.
int serve(dravel::sim::Monitor& m, Pty& pty, SignalPipe& signals, Child* child,
          const std::function<void()>& before_wait, long host_baud = 0);

}  // namespace krvbsim
