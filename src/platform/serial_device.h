#pragma once
// The serial device seam: a raw 8N1 line with reads that never wait.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dravel::platform {

struct OpenResult {
  bool ok = false;
  std::string error;    // the system's reason when !ok
  std::string warning;  // e.g. a baud rate the device refused; the port is still usable
  // The rate the driver reports the line runs at after the open; 0 when it cannot tell.
  long rate = 0;
  // The device refused the rate asked for and runs at another (`rate` when known): a run
  // that cannot ask the user ends before anything is sent, so no board sees the wrong speed.
  bool rate_refused = false;
  // Bytes came in while the line still echoed (a tty's first open after boot): the kernel
  // may have sent them back before the line went raw, leaving the board a spoiled command line.
  bool echoed = false;
};

// Within 2%: what a UART's divisor rounding leaves, and what a receiver still reads.
inline bool rate_close_to(long rate, long baud) {
  return (rate > baud ? rate - baud : baud - rate) * 50 <= baud;
}

// BREAK and the modem lines. A BREAK is held from BreakOn to BreakOff: the caller times it,
// so a long one never stops the program.
enum class Control : std::uint8_t { BreakOn, BreakOff, DtrOn, DtrOff, RtsOn, RtsOff };

struct ControlResult {
  bool ok = false;
  std::string error;  // why not, for the user
};

// "BREAK", "DTR on", ... for messages.
const char* control_name(Control c);
// The refusal of a device that has no such line (a raw TCP port, a pty, a fake).
ControlResult control_unsupported(Control c, const std::string& why);

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // Opens `path` exclusively at `baud`, 8 data bits, no parity, one stop bit, raw.
  virtual OpenResult open(const std::string& path, long baud) = 0;
  virtual void close() = 0;
  virtual bool is_open() const = 0;
  // Returns at once: bytes read (0 when nothing has arrived), or -1 when the device failed.
  virtual long read(std::uint8_t* buf, std::size_t max) = 0;
  // Returns at once: the bytes the driver took now (0 when it has no room), or -1 on failure.
  // A caller with more to send waits for room in the idle wait, keys live meanwhile.
  virtual long write(const std::uint8_t* data, std::size_t n) = 0;
  // Drops output the driver still holds, before a close: a program ESC ended inside a held
  // write ends at once instead of after the line has sent a packet nobody waits for.
  virtual void discard_output() {}
  // Why the last read or write returned -1, in the system's words. A device that failed
  // stays unusable until it is closed and opened again (an unplugged adapter, a hung-up pty).
  virtual std::string failure() const { return "the device failed"; }
  // Sets a modem line or the BREAK state, returning at once.
  virtual ControlResult set_control(Control c) {
    return control_unsupported(c, "this device has no BREAK or modem lines");
  }
};

}  // namespace dravel::platform
