#pragma once
// The serial driver's low-latency flag. An FTDI adapter holds what it receives for its
// latency timer (16 ms by default) before sending it over USB, so every one-byte answer of
// the board waits for it; with the flag, Linux's ftdi_sio drops the timer to 1 ms.
namespace dravel::platform {

// Sets ASYNC_LOW_LATENCY where the driver takes it. True when this set it (so the close
// clears it again); false for a port without serial settings (a pty) or with the flag set.
bool set_low_latency(int fd);

// Clears the flag set_low_latency set, leaving every other flag as the driver has it now.
void clear_low_latency(int fd);

}  // namespace dravel::platform
