#pragma once
// The one serial port of the program, over the platform's serial device.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/serial_device.h"

namespace dravel {

class Link;

class SerialPort {
 public:
  explicit SerialPort(platform::SerialDevice& device) : device_(device) {}

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
  void write(const std::uint8_t* data, std::size_t n);

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
  void close();

 private:
  void mark_lost();

  platform::SerialDevice& device_;
  std::string name_;
  long baud_ = 0;
  bool lost_ = false;
  std::string lost_reason_;
  std::deque<std::uint8_t> unread_;
};

// Opens the device `name` (a path or a network URL) at `baud` and empties the TxQueue.
void link_open(Link& link, const std::string& name, long baud);
// Opens `name`; says why not, or what the device warned of.
void serial_open(Link& link, const std::string& name, long baud);
int serial_write_byte(SerialPort& port, std::uint8_t byte);
void serial_write_string(SerialPort& port, const char* text);
int serial_read(SerialPort& port, std::uint8_t* buf, int max);

}  // namespace dravel
