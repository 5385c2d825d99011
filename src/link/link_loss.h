#pragma once
// A serial device that goes away (an adapter unplugged, the far end of a pty closed): said
// once, reopened by name when it is back, and no wait on the board left hanging on it.
#include <cstdint>

namespace dravel {

class Link;
class SerialPort;

// Thrown by a wait on the board once the device has gone, so the command fails at once
// instead of waiting for an answer that cannot come. The terminal loop catches it.
struct LinkLost {};

// Says a loss once, on a line of its own, and about once a second tries to open the device
// again; says so when it is back. Cheap when the port is not lost. True when it said either.
bool link_tend(Link& link);
// serial_read for a wait on the board: throws LinkLost once the device has gone.
int link_read(Link& link, std::uint8_t* buf, int max);
// For a wait that reads nothing itself: throws LinkLost once the device has gone.
void link_check(Link& link);
// A board that lived on while its line was cut (a network port whose server went), or a
// transfer gone wrong, may be anywhere in binary mode or a command line: this brings it back
// to its prompt.
void bring_monitor_back(SerialPort& port);

}  // namespace dravel
