#pragma once
// The one serial port of the program, over the platform's serial device.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/serial_device.h"

namespace dravel {

class Core;
class Link;

class SerialPort {
 public:
  // `core` gives the waits a write that the line holds goes through.
  SerialPort(platform::SerialDevice& device, Core& core) : device_(device), core_(core) {}

  platform::SerialDevice& device() { return device_; }
  bool is_open() const { return device_.is_open(); }
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }

  // Bytes a handshake read past its match, kept for the next reader.
  void unread(const std::uint8_t* data, std::size_t n);
  bool has_unread() const { return !unread_.empty(); }

  void clear_unread() { unread_.clear(); }

  // One read that never waits: 0 when nothing is waiting or the port is not open.
  // A device that fails is closed and the port counts as lost.
  int read(std::uint8_t* buf, int max);
  // Sends all `n` bytes, waiting for room in the idle wait while the driver holds them, so
  // keys are read meanwhile (a 2 KiB packet takes 2 s at 9600 baud). False when the write
  // was cut: by ESC (the caller's next abort check acts on it), a device that failed, or a
  // line that took nothing for STALL_LIMIT_MS (both count as a lost device).
  bool write(const std::uint8_t* data, std::size_t n);
  // Offers the bytes once, without waiting: how many the line took. Bytes for a port that is
  // not open are dropped (counted as taken), as typing at a terminal with no line would be.
  std::size_t write_some(const std::uint8_t* data, std::size_t n);
  static constexpr std::int64_t STALL_LIMIT_MS = 30'000;

  // Opened at start-up; a lost port is opened again by the same name and rate.
  void opened(long baud) {
    baud_ = baud;
    lost_ = false;
  }
  // The device failed while open (unplugged, hung up): closed until it can be opened again.
  bool lost() const { return lost_; }
  const std::string& lost_reason() const { return lost_reason_; }
  // Said once per loss; reopening is tried about once a second (whole clock seconds).
  bool loss_reported = false;
  std::int64_t last_reopen_second = 0;
  // A wait on the board was cut by the loss: the monitor is brought out of it on return.
  bool command_cut = false;
  platform::OpenResult reopen();
  // After an open that found the line echoing (OpenResult::echoed): a Ctrl-C to the board.
  void clear_echoed_line(const platform::OpenResult& r);
  // Closes the device; `discard` first drops what its driver still holds.
  void close(bool discard = false);
  // ESC cut a write: what the driver still holds of it is a part nobody waits for.
  bool write_cut() const { return write_cut_; }

 private:
  void mark_lost(std::string reason);

  platform::SerialDevice& device_;
  Core& core_;
  std::string name_;
  long baud_ = 0;
  bool lost_ = false;
  bool write_cut_ = false;
  std::string lost_reason_;
  std::deque<std::uint8_t> unread_;
};

// Opens the device `name` (a path or a network URL) at `baud` and empties the TxQueue.
void link_open(Link& link, const std::string& name, long baud);
// Opens `name`; says why not, or what the device warned of.
void serial_open(Link& link, const std::string& name, long baud);
// Says what an open warned of. A rate the device refused ends a run that cannot ask the user
// (no keyboard: --batch) with status 1 before anything is sent, so no board sees the wrong
// speed; interactively the warning names the rate the line runs at.
void say_open_warning(Link& link, const platform::OpenResult& r);
int serial_write_byte(SerialPort& port, std::uint8_t byte);
void serial_write_string(SerialPort& port, const char* text);
int serial_read(SerialPort& port, std::uint8_t* buf, int max);

}  // namespace dravel
