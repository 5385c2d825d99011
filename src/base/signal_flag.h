#pragma once
// The signal that asked the program to end (SIGTERM, SIGHUP, SIGINT, or a console close event),
// recorded by the platform's handler; the loop and every wait look at it and end cleanly.

namespace dravel {

int pending_signal();
// Safe in a POSIX signal handler and from the Windows console handler's own thread.
void record_signal(int signal_number);
void clear_signal();

}  // namespace dravel
