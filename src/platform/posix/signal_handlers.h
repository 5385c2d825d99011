#pragma once

namespace dravel::platform {

// SIGTERM, SIGHUP and SIGINT are recorded for the loop to end cleanly; fatal signals
// restore the terminal and then take their default action. SIGPIPE is ignored so a
// closed output is an error to handle, not a death with the terminal left raw.
void install_signal_handlers();

}  // namespace dravel::platform
