#pragma once
// The signal that asked the program to end (SIGTERM, SIGHUP, SIGINT), recorded by the
// platform's handler; the loop and every wait look at it and end cleanly.

namespace dravel {

int pending_signal();
void record_signal(int signal_number);  // async-signal-safe
void clear_signal();

}  // namespace dravel
