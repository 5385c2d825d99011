#pragma once
// A serial device (or pty) as a raw 8N1 line: opened exclusively, reads and writes that
// return at once.
#include <termios.h>

#include <cstdint>
#include <deque>

#include "platform/posix/pollable_serial.h"
#include "platform/serial_device.h"

namespace dravel::platform {

class TtySerial : public SerialDevice, public PollableSerial {
 public:
  ~TtySerial() override { close(); }

  OpenResult open(const std::string& path, long baud) override;
  void close() override;
  bool is_open() const override { return fd_ >= 0; }
  long read(std::uint8_t* buf, std::size_t max) override;
  long write(const std::uint8_t* data, std::size_t n) override;
  std::string failure() const override { return failure_; }
  // TCOFLUSH: a UART's close would otherwise wait for its buffer to drain.
  void discard_output() override {
    if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
  }
  // TIOCSBRK/TIOCCBRK and TIOCMBIS/TIOCMBIC: each returns at once. A pty has none of these
  // lines (Linux takes a BREAK on one silently), so a pty refuses them all by name.
  ControlResult set_control(Control c) override;

  // For the idle wait: the fd while the line is usable and there is room to take in
  // what it brings, else -1.
  int fd() const override { return hung_up_ || held_.size() >= HOLD_ROOM ? -1 : fd_; }
  int output_fd() const override { return hung_up_ ? -1 : fd_; }
  // Takes in what the line has now, held for the next read, so a caller that is not
  // reading the line (a prompt, say) is not woken again and again by the same bytes.
  void take_input() override;
  // The idle wait saw a hang-up; the next read that finds nothing marks the line gone.
  void note_hang_up() override { hang_up_seen_ = true; }

  static constexpr std::size_t HOLD_ROOM = 64 * 1024;

 private:
  long fail(std::string why, bool gone);

  int fd_ = -1;
  bool low_latency_ = false;  // set by the open, cleared at close
  std::string path_;
  bool hang_up_seen_ = false;
  bool hung_up_ = false;
  std::deque<std::uint8_t> held_;  // taken in by the idle wait, not yet read
  std::string failure_;
};

// The speed constant of a standard rate, or 0 when there is none.
speed_t standard_speed(long baud);

}  // namespace dravel::platform
